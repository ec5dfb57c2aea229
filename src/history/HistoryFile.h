#pragma once

#include <QString>

class QFile;

// The one place that asks the platform what a history file is before it is read or appended to. A history is a
// regular file of its own: a link (even to a regular file), a device, a FIFO or a directory is refused, since
// records read from it or written to it would not be the station's (a device swallows them or never ends, a FIFO
// hangs the start, a link writes into whatever it names). Where POSIX allows, the file is opened without
// following a link and without blocking, and what was opened is checked again
// (HistoryFilePosix.cpp, HistoryFileWin.cpp).
class HistoryFile final
{
public:
    // True when anything is at `path`, a dangling link included.
    static bool exists(const QString &path);
    // Opens `file` (unbuffered) on the history at `path`; false and why otherwise.
    static bool openForReading(QFile &file, const QString &path, QString *why);
    // Opens `file` to append to the history at `path`, creating it when missing; false and why otherwise.
    static bool openForAppend(QFile &file, const QString &path, QString *why);
};
