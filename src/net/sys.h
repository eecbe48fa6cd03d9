// Platform socket headers and the few differences between Winsock and POSIX sockets.
#pragma once

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
namespace net {
using sock_t = SOCKET;
const sock_t kBadSocket = INVALID_SOCKET;
inline int LastSocketError() { return WSAGetLastError(); }
inline void CloseSocket(sock_t s) { closesocket(s); }
}  // namespace net
#else
#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
namespace net {
using sock_t = int;
const sock_t kBadSocket = -1;
inline int LastSocketError() { return errno; }
inline void CloseSocket(sock_t s) { ::close(s); }
}  // namespace net
#endif
