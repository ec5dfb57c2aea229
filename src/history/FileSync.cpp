#include "history/FileSync.h"

#include <QFile>

#ifdef Q_OS_WIN
#include <io.h>
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#endif

bool syncFileToDisk(QFile &file)
{
    if (!file.flush())
        return false;
    const int fd = file.handle();
    if (fd < 0)
        return false;
#ifdef Q_OS_WIN
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    return handle != INVALID_HANDLE_VALUE && FlushFileBuffers(handle);
#else
    int rc;
    do {
        rc = ::fsync(fd);
    } while (rc != 0 && errno == EINTR);
    // EINVAL: the file is of a kind that has no synchronisation (a pipe, a device); nothing more can be done.
    return rc == 0 || errno == EINVAL;
#endif
}

bool syncDirectoryToDisk(const QString &dirPath)
{
#ifdef Q_OS_WIN
    Q_UNUSED(dirPath);
    return true; // NTFS keeps directory entries in its journal
#else
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
#endif
}
