#include "ledger/SocketWait.h"

#include <winsock2.h>

bool SocketWait::readable(int socket, int ms)
{
    WSAPOLLFD poller{SOCKET(socket), POLLRDNORM, 0};
    return WSAPoll(&poller, 1, ms) != 0;
}
