#pragma once

#include <QString>
#include <QStringList>

// Where the bench keeps its handsets: one image file per plugged handset in usb/, com/ or dbg/, named like
// its port, and side files (locks, faults) in .side/.
namespace BenchPaths {

QString benchDir();
QString kindFolder(unsigned kind); // "usb", "com", "dbg"; empty for an unknown kind
unsigned kindFromFolder(const QString &folder);
QString imagePath(unsigned kind, const QString &port);
QString sideDir();
QString sidePath(const QString &port, const QString &suffix);

// Letters, digits, '_' and '-', 1 to 32 characters: never a path, never a side or temporary file.
bool isValidPortName(const QString &port);
// Finds the folder that holds the port's image; false when no handset is plugged in under that name.
bool locate(const QString &port, unsigned &kind, QString &path);
// Names of the image files in the kind's folder, sorted; side and temporary files are left out.
QStringList portsIn(unsigned kind);

} // namespace BenchPaths
