#include "history/FileSync.h"

#include <QFile>

#include <io.h>
#include <windows.h>

bool syncFileToDisk(QFile &file)
{
    if (!file.flush())
        return false;
    const int fd = file.handle();
    if (fd < 0)
        return false;
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    return handle != INVALID_HANDLE_VALUE && FlushFileBuffers(handle);
}

bool syncDirectoryToDisk(const QString &dirPath)
{
    Q_UNUSED(dirPath);
    return true; // NTFS keeps directory entries in its journal
}
