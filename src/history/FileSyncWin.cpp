#include "history/FileSync.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <io.h>
#include <windows.h>

bool syncFileToDisk(QFile &file)
{
    if (!file.flush())
        return false;
    const int fd = file.handle();
    if (fd >= 0) {
        const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
        return handle != INVALID_HANDLE_VALUE && FlushFileBuffers(handle);
    }
    // A file Qt opened by name is held by a system handle Qt does not give out. The system caches a file's data
    // once, whatever the handle: flushing through a second handle on the same file writes it all.
    const QString native = QDir::toNativeSeparators(QFileInfo(file.fileName()).absoluteFilePath());
    const HANDLE handle =
        CreateFileW(reinterpret_cast<const wchar_t *>(native.utf16()), GENERIC_WRITE,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    const bool flushed = FlushFileBuffers(handle);
    CloseHandle(handle);
    return flushed;
}

bool syncDirectoryToDisk(const QString &dirPath)
{
    Q_UNUSED(dirPath);
    return true; // NTFS keeps directory entries in its journal
}
