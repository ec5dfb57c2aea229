#pragma once

// The wait of the ledger's connection for its server's answer (SocketWaitPosix.cpp, SocketWaitWin.cpp).
namespace SocketWait {
// Waits up to `ms` milliseconds for `socket` (as libpq gives it) to have something to read. False on time-out;
// true when readable or in error (libpq reports the error when it reads).
bool readable(int socket, int ms);
} // namespace SocketWait
