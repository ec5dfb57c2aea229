#pragma once

#include <QString>

class QFile;

// The one place that talks to the platform about stable storage (FileSyncPosix.cpp, FileSyncWin.cpp).

// Flushes Qt's buffer and then the system's cache of an open file to the disk.
bool syncFileToDisk(QFile &file);
// Makes a newly created directory entry durable; a no-op where the file system does not need it.
bool syncDirectoryToDisk(const QString &dirPath);
