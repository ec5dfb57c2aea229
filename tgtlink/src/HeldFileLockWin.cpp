#include "HeldFileLock.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QThread>

#include <windows.h>

namespace {

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
    m_handle = reinterpret_cast<qintptr>(handle);
    m_locked = true;
    return true;
}

void HeldFileLock::unlock()
{
    if (!m_locked)
        return;
    release(reinterpret_cast<Handle>(m_handle));
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
