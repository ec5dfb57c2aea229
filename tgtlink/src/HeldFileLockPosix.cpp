#include "HeldFileLock.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

qintptr HeldFileLock::openFile(const QString &path, bool create)
{
    const QByteArray name = QFile::encodeName(path);
    // Close-on-exec: a program started by the holder must not inherit the lock and outlive it with it.
    int fd = ::open(name.constData(), O_RDWR | O_CLOEXEC | (create ? O_CREAT : 0), 0666);
    if (fd < 0 && errno == EACCES)
        fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC); // another user's file still takes a lock
    return fd;
}

// flock belongs to the open file, not to the process: a second open in the same process is refused as well.
bool HeldFileLock::lockOnce(qintptr handle)
{
    const int fd = int(handle);
    int rc;
    do {
        rc = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    return rc == 0;
}

void HeldFileLock::release(qintptr handle)
{
    const int fd = int(handle);
    ::close(fd); // drops the lock with the descriptor
}
