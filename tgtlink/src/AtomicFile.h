#pragma once

#include <QByteArray>
#include <QString>

// The save of a settings file: a new file beside the old one, on the disk before it takes the old one's name,
// so that a power cut leaves the old file or the new one, never a mix (AtomicFilePosix.cpp, AtomicFileWin.cpp).
namespace AtomicFile {
// False when any step fails; the old file is then left as it was.
bool replace(const QString &path, const QByteArray &bytes);
} // namespace AtomicFile
