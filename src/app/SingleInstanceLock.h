#pragma once

#include <QString>

// A named lock held for the life of the process, so that a second copy of the tool can refuse to start. The
// operating system drops it when the process ends, however it ends, so a crashed or killed copy never blocks
// the next start.
class SingleInstanceLock final
{
public:
    explicit SingleInstanceLock(const QString &name);
    ~SingleInstanceLock();

    // False when another process holds the lock, or when the lock could not be created at all.
    bool tryLock();
    bool isLocked() const { return m_locked; }

    // Where the lock lives on this platform (a file in the temporary directory; on Windows a mutex name).
    QString location() const;

private:
    QString m_name;
    bool m_locked = false;
#ifdef Q_OS_WIN
    void *m_handle = nullptr;
#else
    int m_fd = -1;
#endif

    SingleInstanceLock(const SingleInstanceLock &) = delete;
    SingleInstanceLock &operator=(const SingleInstanceLock &) = delete;
};
