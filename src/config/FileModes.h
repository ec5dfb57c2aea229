#pragma once

// How files the tool creates may be shared (FileModesPosix.cpp, FileModesWin.cpp).
namespace FileModes {
// Files and folders created from now on are writable by the group too: an installed station's data folder is
// shared by the accounts of the station's group. Where the folder's own permissions decide that, a no-op.
void shareNewFilesWithGroup();
} // namespace FileModes
