#include "history/FileSync.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

bool syncFileToDisk(QFile &file)
{
    if (!file.flush())
        return false;
    const int fd = file.handle();
    if (fd < 0)
        return false;
    int rc;
    do {
        rc = ::fsync(fd);
    } while (rc != 0 && errno == EINTR);
    // EINVAL: the file is of a kind that has no synchronisation (a pipe, a device); nothing more can be done.
    return rc == 0 || errno == EINVAL;
}

bool syncDirectoryToDisk(const QString &dirPath)
{
    const QByteArray path = QFile::encodeName(dirPath);
    int fd;
    do {
        fd = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return false;
    int rc;
    do {
        rc = ::fsync(fd);
    } while (rc != 0 && errno == EINTR);
    const bool ok = rc == 0 || errno == EINVAL;
    ::close(fd);
    return ok;
}
