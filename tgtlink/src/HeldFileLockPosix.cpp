#include "HeldFileLock.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QThread>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

using Handle = int;
constexpr Handle NoHandle = -1;

Handle openLockFile(const QString &path, bool create)
{
    const QByteArray name = QFile::encodeName(path);
    // Close-on-exec: a program started by the holder must not inherit the lock and outlive it with it.
    int fd = ::open(name.constData(), O_RDWR | O_CLOEXEC | (create ? O_CREAT : 0), 0666);
    if (fd < 0 && errno == EACCES)
        fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC); // another user's file still takes a lock
    return fd;
}

// flock belongs to the open file, not to the process: a second open in the same process is refused as well.
bool lockOnce(Handle fd)
{
    int rc;
    do {
        rc = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    return rc == 0;
}

void release(Handle fd)
{
    ::close(fd); // drops the lock with the descriptor
}

} // namespace

HeldFileLock::HeldFileLock(const QString &path) : m_path(path) {}

HeldFileLock::~HeldFileLock()
{
    unlock();
}

bool HeldFileLock::tryLock(int timeoutMs)
{
    if (m_locked)
        return true;
    const Handle handle = openLockFile(m_path, true);
    if (handle == NoHandle)
        return false;
    const QDeadlineTimer deadline(qMax(0, timeoutMs));
    while (!lockOnce(handle)) {
        if (deadline.hasExpired()) {
            release(handle);
            return false;
        }
        QThread::msleep(ulong(qMin<qint64>(deadline.remainingTime(), 10)));
    }
    m_handle = handle;
    m_locked = true;
    return true;
}

void HeldFileLock::unlock()
{
    if (!m_locked)
        return;
    release(Handle(m_handle));
    m_handle = 0;
    m_locked = false;
}

bool HeldFileLock::isHeld(const QString &path)
{
    const Handle handle = openLockFile(path, false);
    if (handle == NoHandle)
        return false;
    const bool free = lockOnce(handle);
    release(handle); // gives back the lock just taken, if any
    return !free;
}
