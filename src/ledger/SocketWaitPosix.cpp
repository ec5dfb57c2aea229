#include "ledger/SocketWait.h"

#include <poll.h>

bool SocketWait::readable(int socket, int ms)
{
    pollfd poller{socket, POLLIN, 0};
    return ::poll(&poller, 1, ms) != 0;
}
