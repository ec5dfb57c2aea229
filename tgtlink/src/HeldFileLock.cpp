#include "HeldFileLock.h"

#include <QDeadlineTimer>
#include <QThread>

HeldFileLock::HeldFileLock(const QString &path) : m_path(path) {}

HeldFileLock::~HeldFileLock()
{
    unlock();
}

bool HeldFileLock::tryLock(int timeoutMs)
{
    if (m_locked)
        return true;
    const qintptr handle = openFile(m_path, true);
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
    release(m_handle);
    m_handle = NoHandle;
    m_locked = false;
}

bool HeldFileLock::isHeld(const QString &path)
{
    const qintptr handle = openFile(path, false);
    if (handle == NoHandle)
        return false;
    const bool free = lockOnce(handle);
    release(handle); // gives back the lock just taken, if any
    return !free;
}
