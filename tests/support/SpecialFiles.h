#pragma once

#include <QString>

// Files of kinds only some systems have, for tests that check they are refused (SpecialFilesPosix.cpp,
// SpecialFilesWin.cpp).
namespace SpecialFiles {
// Makes a FIFO at `path`; false where the system has none (the test then skips the case).
bool makeFifo(const QString &path);
bool haveFifos();
} // namespace SpecialFiles
