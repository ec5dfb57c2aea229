#pragma once

#include <QString>
#include <QtGlobal>

// An exclusive lock on a file that the operating system holds for the open file and drops when its holder ends,
// however it ends. Nothing is written into the file, so a holder killed while taking or holding the lock leaves
// nothing behind that could block the next one. Two locks on the same file in one process exclude each other
// too.
class HeldFileLock final
{
public:
    explicit HeldFileLock(const QString &path);
    ~HeldFileLock(); // unlocks

    // Tries for up to `timeoutMs` milliseconds (0: once). The file is created when missing.
    bool tryLock(int timeoutMs = 0);
    void unlock();
    bool isLocked() const { return m_locked; }

    // True when a holder has the lock on `path` right now; false when the file is missing or free.
    static bool isHeld(const QString &path);

private:
    QString m_path;
    bool m_locked = false;
    // The lock file's descriptor or handle (HeldFileLockPosix.cpp, HeldFileLockWin.cpp).
    qintptr m_handle = 0;

    HeldFileLock(const HeldFileLock &) = delete;
    HeldFileLock &operator=(const HeldFileLock &) = delete;
};
