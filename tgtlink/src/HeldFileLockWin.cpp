#include "HeldFileLock.h"

#include <QFile>

#include <windows.h>

qintptr HeldFileLock::openFile(const QString &path, bool create)
{
    HANDLE h = CreateFileW(reinterpret_cast<const wchar_t *>(path.utf16()), GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           create ? OPEN_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    return h == INVALID_HANDLE_VALUE ? NoHandle : reinterpret_cast<qintptr>(h);
}

bool HeldFileLock::lockOnce(qintptr handle)
{
    OVERLAPPED at = {};
    return LockFileEx(reinterpret_cast<HANDLE>(handle), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                      &at);
}

void HeldFileLock::release(qintptr handle)
{
    CloseHandle(reinterpret_cast<HANDLE>(handle)); // drops the lock with the handle
}
