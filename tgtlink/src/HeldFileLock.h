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
    // The system's part (HeldFileLockPosix.cpp, HeldFileLockWin.cpp): the lock file opened (created when missing
    // and `create`), or NoHandle; one try at the lock; the file closed, which drops the lock.
    static constexpr qintptr NoHandle = -1;
    static qintptr openFile(const QString &path, bool create);
    static bool lockOnce(qintptr handle);
    static void release(qintptr handle);

    qintptr m_handle = NoHandle; // a descriptor or a handle

    HeldFileLock(const HeldFileLock &) = delete;
    HeldFileLock &operator=(const HeldFileLock &) = delete;
};
