#include "platform/Network.h"

#include "platform/win32/WinText.h"

#include <winsock2.h>
#include <ws2tcpip.h>

namespace vidlume::platform {

namespace {

/// Winsock is started once for the whole program, at the first connection,
/// and left running until the program ends.
bool startWinsock(std::string& error)
{
    static const int started = [] {
        WSADATA data;
        return ::WSAStartup(MAKEWORD(2, 2), &data);
    }();
    if (started != 0)
        error = "cannot use the network: " + win32::win32ErrorText(DWORD(started));
    return started == 0;
}

/// Connects one address, waiting at most timeoutMs; 0 or the Winsock error.
int connectOne(SOCKET socket, const addrinfo& address, int timeoutMs)
{
    u_long nonBlocking = 1;
    ::ioctlsocket(socket, FIONBIO, &nonBlocking);
    if (::connect(socket, address.ai_addr, int(address.ai_addrlen)) != 0) {
        const int failure = ::WSAGetLastError();
        if (failure != WSAEWOULDBLOCK)
            return failure;
        // select() rather than WSAPoll(): Windows 10 before version 2004 never
        // reports a refused connection to WSAPoll(), which then waits the whole
        // time; select() reports it among the sockets with an exception.
        fd_set writable;
        fd_set failed;
        FD_ZERO(&writable);
        FD_ZERO(&failed);
        FD_SET(socket, &writable);
        FD_SET(socket, &failed);
        timeval limit = {timeoutMs / 1000, (timeoutMs % 1000) * 1000};
        const int ready = ::select(0, nullptr, &writable, &failed, &limit);
        if (ready == SOCKET_ERROR)
            return ::WSAGetLastError();
        if (ready == 0)
            return WSAETIMEDOUT;
        int error = 0;
        int length = sizeof error;
        ::getsockopt(socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length);
        if (error != 0)
            return error;
        if (FD_ISSET(socket, &failed))
            return WSAECONNREFUSED;
    }
    nonBlocking = 0;
    ::ioctlsocket(socket, FIONBIO, &nonBlocking);
    return 0;
}

} // namespace

int connectTcp(const std::string& host, int port, int timeoutMs, std::string& error)
{
    if (!startWinsock(error))
        return -1;
    addrinfoW hints = {};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfoW* found = nullptr;
    const std::string service = std::to_string(port);
    if (const int failure = ::GetAddrInfoW(win32::toWide(host).c_str(), win32::toWide(service).c_str(), &hints,
                                           &found)) {
        error = "cannot find the server " + host + ": " + win32::win32ErrorText(DWORD(failure));
        return -1;
    }
    int lastError = WSAECONNREFUSED;
    SOCKET socket = INVALID_SOCKET;
    for (addrinfoW* address = found; address; address = address->ai_next) {
        // Not inherited: a converter started meanwhile must not hold the connection open.
        socket = ::WSASocketW(address->ai_family, address->ai_socktype, address->ai_protocol, nullptr, 0,
                              WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
        if (socket == INVALID_SOCKET) {
            lastError = ::WSAGetLastError();
            continue;
        }
        addrinfo narrow = {};
        narrow.ai_addr = address->ai_addr;
        narrow.ai_addrlen = address->ai_addrlen;
        lastError = connectOne(socket, narrow, timeoutMs);
        if (lastError == 0)
            break;
        ::closesocket(socket);
        socket = INVALID_SOCKET;
    }
    ::FreeAddrInfoW(found);
    if (socket == INVALID_SOCKET) {
        error = "cannot connect to " + host + " port " + service + ": " + win32::win32ErrorText(DWORD(lastError));
        return -1;
    }
    const BOOL on = TRUE;
    ::setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
    // A socket's number is a small kernel handle value: it fits the int that
    // the interface shares with POSIX.
    return int(socket);
}

void closeSocket(int socket)
{
    if (socket >= 0)
        ::closesocket(SOCKET(socket));
}

} // namespace vidlume::platform
