#pragma once

#include <QString>

// Whether this account may create files in a folder, asked of the system (FolderAccessPosix.cpp,
// FolderAccessWin.cpp).
namespace FolderAccess {
bool canWriteInto(const QString &folder);
} // namespace FolderAccess
