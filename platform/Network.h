#pragma once

#include <string>

namespace vidlume::platform {

/// A TCP connection made to host and port (a name or a numeric address),
/// trying each address the resolver gives until one answers within
/// timeoutMs. Returns the socket's file number, or -1 with error set to
/// what went wrong, worded for the user.
int connectTcp(const std::string& host, int port, int timeoutMs, std::string& error);

/// Closes a socket that connectTcp made.
void closeSocket(int socket);

} // namespace vidlume::platform
