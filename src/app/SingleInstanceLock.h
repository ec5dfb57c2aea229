#pragma once

#include <QString>
#include <QtGlobal>

// A lock on a file of the data folder, held for the life of the process, so that a second copy of the tool on
// the same settings and histories refuses to start, whatever its account or temporary folder. The operating
// system drops it when the process ends, however it ends, so a crashed or killed copy never blocks the next start.
class SingleInstanceLock final
{
public:
    explicit SingleInstanceLock(const QString &path);
    ~SingleInstanceLock();

    // False when another process holds the lock, or when the lock could not be created at all.
    bool tryLock();
    bool isLocked() const { return m_locked; }

    // The lock file (on Windows, the name of the mutex made from its path).
    QString location() const;

private:
    QString m_path;
    bool m_locked = false;
    // The lock file's descriptor, or the mutex's handle (SingleInstanceLockPosix.cpp, SingleInstanceLockWin.cpp).
    qintptr m_handle = 0;

    SingleInstanceLock(const SingleInstanceLock &) = delete;
    SingleInstanceLock &operator=(const SingleInstanceLock &) = delete;
};
