#pragma once

#include <QString>

// The name of the file that stands for a port in the bench's folders (PortFileNamePosix.cpp: the port's own name;
// PortFileNameWin.cpp: a prefix, since Windows keeps names such as COM1 or LPT2, whatever their extension, for its
// devices).
namespace PortFileName {
QString of(const QString &port);
// The port a file name stands for; empty when it stands for none.
QString portOf(const QString &fileName);
} // namespace PortFileName
