#include "db/socketwait.h"

#ifdef _WIN32
#include <winsock2.h>
#else
#include <poll.h>

#include <cerrno>
#endif

SocketWait waitForSocket(int socket, bool forRead, bool forWrite, int timeoutMs)
{
    if (socket < 0)
        return SocketWait::Failed;
#ifdef _WIN32
    WSAPOLLFD fd{};
    fd.fd = static_cast<SOCKET>(socket);
    fd.events = static_cast<SHORT>((forRead ? POLLRDNORM : 0) | (forWrite ? POLLWRNORM : 0));
    const int ready = WSAPoll(&fd, 1, timeoutMs);
    if (ready == SOCKET_ERROR)
        return SocketWait::Failed;
#else
    pollfd fd{socket, static_cast<short>((forRead ? POLLIN : 0) | (forWrite ? POLLOUT : 0)), 0};
    const int ready = poll(&fd, 1, timeoutMs);
    if (ready < 0)
        return errno == EINTR ? SocketWait::TimedOut : SocketWait::Failed;
#endif
    return ready == 0 ? SocketWait::TimedOut : SocketWait::Ready;
}
