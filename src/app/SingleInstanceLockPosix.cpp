#include "app/SingleInstanceLock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

SingleInstanceLock::SingleInstanceLock(const QString &path) : m_path(QFileInfo(path).absoluteFilePath()) {}

SingleInstanceLock::~SingleInstanceLock()
{
    if (m_locked)
        ::close(int(m_handle)); // drops the lock; the file stays for the next start
}

QString SingleInstanceLock::location() const
{
    return m_path;
}

bool SingleInstanceLock::tryLock()
{
    if (m_locked)
        return true;
    QDir().mkpath(QFileInfo(m_path).absolutePath()); // a first start finds no cfg/ yet
    const QByteArray path = QFile::encodeName(location());
    // Close-on-exec: a viewer the tool starts must not inherit the lock and keep it after the tool has gone.
    int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0 && errno == EACCES)
        fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC); // another user's file still takes a lock
    if (fd < 0)
        return false;
    // flock belongs to the open file, not to a process id: a dead owner's lock is gone with its descriptors,
    // and a recycled process id cannot keep it.
    int rc;
    do {
        rc = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        ::close(fd);
        return false;
    }
    m_handle = fd;
    m_locked = true;
    return true;
}
