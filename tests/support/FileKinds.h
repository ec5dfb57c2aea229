#pragma once

#include <QString>

// Files of kinds only some systems have, for tests that check they are refused (FileKindsPosix.cpp,
// FileKindsWin.cpp).
namespace FileKinds {
// Makes a FIFO at `path`; false where the system has none (the test then skips the case).
bool makeFifo(const QString &path);
bool haveFifos();
// A symbolic link at `path` to `target`; false where the account may not make one (the test then skips).
bool makeLink(const QString &target, const QString &path);
} // namespace FileKinds
