#include "HeldFileLock.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QThread>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace {

#ifdef Q_OS_WIN

using Handle = void *;
const Handle NoHandle = nullptr;

Handle openLockFile(const QString &path, bool create)
{
    HANDLE h = CreateFileW(reinterpret_cast<const wchar_t *>(path.utf16()), GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           create ? OPEN_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    return h == INVALID_HANDLE_VALUE ? nullptr : h;
}

bool lockOnce(Handle handle)
{
    OVERLAPPED at = {};
    return LockFileEx(static_cast<HANDLE>(handle), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at);
}

void release(Handle handle)
{
    CloseHandle(static_cast<HANDLE>(handle)); // drops the lock with the handle
}

#else

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

#endif

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
#ifdef Q_OS_WIN
    m_handle = handle;
#else
    m_fd = handle;
#endif
    m_locked = true;
    return true;
}

void HeldFileLock::unlock()
{
    if (!m_locked)
        return;
#ifdef Q_OS_WIN
    release(m_handle);
    m_handle = nullptr;
#else
    release(m_fd);
    m_fd = -1;
#endif
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
