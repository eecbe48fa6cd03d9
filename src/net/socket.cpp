#include "net/socket.h"

#include <chrono>
#include <cstring>
#include <mutex>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
using sock_t = SOCKET;
static const sock_t kBad = INVALID_SOCKET;
static int last_error() { return WSAGetLastError(); }
static void close_sock(sock_t s) { closesocket(s); }
static int poll_sock(WSAPOLLFD *p, int ms) { return WSAPoll(p, 1, ms); }
using pollfd_t = WSAPOLLFD;
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
using sock_t = int;
static const sock_t kBad = -1;
static int last_error() { return errno; }
static void close_sock(sock_t s) { ::close(s); }
static int poll_sock(pollfd *p, int ms) { return ::poll(p, 1, ms); }
using pollfd_t = pollfd;
#endif

namespace net {
namespace {

// Longest single poll, so that an abort request is noticed quickly.
constexpr int kPollSliceMs = 50;

sock_t to_sock(intptr_t fd) { return static_cast<sock_t>(fd); }

bool set_nonblocking(sock_t s) {
#ifdef _WIN32
    u_long on = 1;
    return ioctlsocket(s, FIONBIO, &on) == 0;
#else
    int fl = fcntl(s, F_GETFL, 0);
    return fl >= 0 && fcntl(s, F_SETFL, fl | O_NONBLOCK) == 0;
#endif
}

bool would_block(int err) {
#ifdef _WIN32
    return err == WSAEWOULDBLOCK || err == WSAEINPROGRESS;
#else
    return err == EAGAIN || err == EWOULDBLOCK || err == EINPROGRESS || err == EINTR;
#endif
}

}  // namespace

void init() {
#ifdef _WIN32
    static std::once_flag once;
    std::call_once(once, [] {
        WSADATA d;
        WSAStartup(MAKEWORD(2, 2), &d);
    });
#endif
}

Socket::~Socket() { close(); }

Socket::Socket(Socket &&o) noexcept : fd_(o.fd_), abort_(o.abort_) { o.fd_ = -1; }

Socket &Socket::operator=(Socket &&o) noexcept {
    if (this != &o) {
        close();
        fd_ = o.fd_;
        abort_ = o.abort_;
        o.fd_ = -1;
    }
    return *this;
}

bool Socket::is_open() const { return fd_ != -1; }

void Socket::close() {
    if (fd_ != -1) {
        close_sock(to_sock(fd_));
        fd_ = -1;
    }
}

IoStatus Socket::wait(bool for_write, int timeout_ms) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
        if (abort_ && abort_->load()) return IoStatus::Aborted;
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                        deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0) return IoStatus::Timeout;
        pollfd_t p{};
        p.fd = to_sock(fd_);
        p.events = for_write ? POLLOUT : POLLIN;
        int r = poll_sock(&p, static_cast<int>(left < kPollSliceMs ? left : kPollSliceMs));
        if (r > 0) return IoStatus::Ok;  // readiness or error: the next call tells which
        if (r < 0 && !would_block(last_error())) return IoStatus::Error;
    }
}

IoStatus Socket::connect(const std::string &host, uint16_t port, int timeout_ms) {
    init();
    close();
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo *res = nullptr;
    std::string port_text = std::to_string(port);
    if (getaddrinfo(host.c_str(), port_text.c_str(), &hints, &res) != 0 || !res)
        return IoStatus::Error;
    IoStatus result = IoStatus::Error;
    for (addrinfo *ai = res; ai; ai = ai->ai_next) {
        sock_t s = ::socket(ai->ai_family, ai->ai_socktype, ai->ai_protocol);
        if (s == kBad) continue;
        if (!set_nonblocking(s)) {
            close_sock(s);
            continue;
        }
        fd_ = static_cast<intptr_t>(s);
        int r = ::connect(s, ai->ai_addr, static_cast<int>(ai->ai_addrlen));
        if (r != 0 && !would_block(last_error())) {
            close();
            continue;
        }
        if (r != 0) {
            IoStatus w = wait(true, timeout_ms);
            if (w != IoStatus::Ok) {
                close();
                result = w;
                if (w == IoStatus::Aborted || w == IoStatus::Timeout) break;
                continue;
            }
            int err = 0;
            socklen_t len = sizeof err;
            if (getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char *>(&err), &len) != 0 ||
                err != 0) {
                close();
                result = IoStatus::Error;
                continue;
            }
        }
        int one = 1;
        setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char *>(&one), sizeof one);
        result = IoStatus::Ok;
        break;
    }
    freeaddrinfo(res);
    return result;
}

bool Socket::send_all(const void *data, size_t len, int timeout_ms) {
    const char *p = static_cast<const char *>(data);
    while (len > 0) {
        if (fd_ == -1) return false;
        if (wait(true, timeout_ms) != IoStatus::Ok) return false;
        int chunk = len > 65536 ? 65536 : static_cast<int>(len);
#ifdef MSG_NOSIGNAL
        auto n = ::send(to_sock(fd_), p, chunk, MSG_NOSIGNAL);
#else
        auto n = ::send(to_sock(fd_), p, chunk, 0);
#endif
        if (n < 0) {
            if (would_block(last_error())) continue;
            return false;
        }
        p += n;
        len -= static_cast<size_t>(n);
    }
    return true;
}

IoStatus Socket::recv(void *buf, size_t len, size_t &got, int timeout_ms) {
    got = 0;
    if (fd_ == -1) return IoStatus::Error;
    for (;;) {
        IoStatus w = wait(false, timeout_ms);
        if (w != IoStatus::Ok) return w;
        int chunk = len > 65536 ? 65536 : static_cast<int>(len);
        auto n = ::recv(to_sock(fd_), static_cast<char *>(buf), chunk, 0);
        if (n > 0) {
            got = static_cast<size_t>(n);
            return IoStatus::Ok;
        }
        if (n == 0) return IoStatus::Closed;
        if (!would_block(last_error())) return IoStatus::Error;
    }
}

}  // namespace net
