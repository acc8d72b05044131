#include "platform/Network.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vidlume::platform {

namespace {

/// Connects one address, waiting at most timeoutMs; 0 or the system error.
int connectOne(int fd, const addrinfo& address, int timeoutMs)
{
    const int flags = ::fcntl(fd, F_GETFL);
    ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    if (::connect(fd, address.ai_addr, address.ai_addrlen) != 0) {
        if (errno != EINPROGRESS)
            return errno;
        pollfd waiting = {fd, POLLOUT, 0};
        const int ready = ::poll(&waiting, 1, timeoutMs);
        if (ready < 0)
            return errno;
        if (ready == 0)
            return ETIMEDOUT;
        int error = 0;
        socklen_t length = sizeof error;
        ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length);
        if (error != 0)
            return error;
    }
    ::fcntl(fd, F_SETFL, flags);
    return 0;
}

} // namespace

int connectTcp(const std::string& host, int port, int timeoutMs, std::string& error)
{
    addrinfo hints = {};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    if (const int failure = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found)) {
        error = "cannot find the server " + host + ": " + ::gai_strerror(failure);
        return -1;
    }
    int lastError = ECONNREFUSED;
    int fd = -1;
    for (addrinfo* address = found; address; address = address->ai_next) {
        fd = ::socket(address->ai_family, address->ai_socktype | SOCK_CLOEXEC, address->ai_protocol);
        if (fd < 0) {
            lastError = errno;
            continue;
        }
        lastError = connectOne(fd, *address, timeoutMs);
        if (lastError == 0)
            break;
        ::close(fd);
        fd = -1;
    }
    ::freeaddrinfo(found);
    if (fd < 0) {
        error = "cannot connect to " + host + " port " + service + ": " + std::strerror(lastError);
        return -1;
    }
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    return fd;
}

void closeSocket(int socket)
{
    if (socket >= 0)
        ::close(socket);
}

} // namespace vidlume::platform
