#include "net/socket.h"

#include <mutex>
#include <vector>

#include "net/resolve.h"
#include "net/sys.h"

namespace net {
namespace {

// Longest single wait, so that an abort request is noticed quickly.
constexpr int kWaitSliceMs = 50;

sock_t ToSock(intptr_t fd) { return static_cast<sock_t>(fd); }

bool SetNonblocking(sock_t s) {
#ifdef _WIN32
  u_long on = 1;
  return ioctlsocket(s, FIONBIO, &on) == 0;
#else
  int fl = fcntl(s, F_GETFL, 0);
  return fl >= 0 && fcntl(s, F_SETFL, fl | O_NONBLOCK) == 0;
#endif
}

bool WouldBlock(int err) {
#ifdef _WIN32
  return err == WSAEWOULDBLOCK || err == WSAEINPROGRESS || err == WSAEINTR;
#else
  return err == EAGAIN || err == EWOULDBLOCK || err == EINPROGRESS || err == EINTR;
#endif
}

// One wait of at most ms: 1 ready (or failed: the next call tells), 0 not yet, -1 error.
int WaitOnce(sock_t s, bool for_read, bool for_connect, int ms) {
#ifdef _WIN32
  // select, not WSAPoll: before Windows 10 2004 WSAPoll never reports a refused connect,
  // while select puts it in the exception set.
  fd_set rd, wr, ex;
  FD_ZERO(&rd);
  FD_ZERO(&wr);
  FD_ZERO(&ex);
  if (for_read)
    FD_SET(s, &rd);
  else
    FD_SET(s, &wr);
  if (for_connect) FD_SET(s, &ex);
  timeval tv;
  tv.tv_sec = ms / 1000;
  tv.tv_usec = (ms % 1000) * 1000;
  int r = ::select(0, &rd, &wr, &ex, &tv);
  return r == SOCKET_ERROR ? -1 : (r > 0 ? 1 : 0);
#else
  (void)for_connect;
  pollfd p{};
  p.fd = s;
  p.events = for_read ? POLLIN : POLLOUT;
  int r = ::poll(&p, 1, ms);
  if (r < 0) return errno == EINTR ? 0 : -1;
  return r > 0 ? 1 : 0;
#endif
}

}  // namespace

void Init() {
#ifdef _WIN32
  static std::once_flag once;
  std::call_once(once, [] {
    WSADATA d;
    WSAStartup(MAKEWORD(2, 2), &d);
  });
#endif
}

Socket::Socket(intptr_t connected_fd) : fd_(connected_fd) {
  if (fd_ != -1) SetNonblocking(ToSock(fd_));
}

Socket::~Socket() { Close(); }

Socket::Socket(Socket&& o) noexcept : fd_(o.fd_), abort_(o.abort_), tls_(std::move(o.tls_)) {
  o.fd_ = -1;
  if (tls_) tls_->Rebind(*this);
}

Socket& Socket::operator=(Socket&& o) noexcept {
  if (this != &o) {
    Close();
    fd_ = o.fd_;
    abort_ = o.abort_;
    tls_ = std::move(o.tls_);
    if (tls_) tls_->Rebind(*this);
    o.fd_ = -1;
  }
  return *this;
}

bool Socket::IsOpen() const { return fd_ != -1; }

void Socket::Close() {
  tls_.reset();
  if (fd_ != -1) {
    CloseSocket(ToSock(fd_));
    fd_ = -1;
  }
}

IoStatus Socket::WaitFor(Wait what, Deadline deadline) {
  for (;;) {
    if (Aborted()) return IoStatus::kAborted;
    int left = deadline.LeftMs();
    if (left <= 0) return IoStatus::kTimeout;
    int r = WaitOnce(ToSock(fd_), what == Wait::kRead, what == Wait::kConnect,
                     left < kWaitSliceMs ? left : kWaitSliceMs);
    if (r > 0) return IoStatus::kOk;
    if (r < 0) return IoStatus::kError;
  }
}

IoStatus Socket::Connect(const std::string& host, uint16_t port, int attempt_ms,
                         Deadline deadline) {
  Init();
  Close();
  if (Aborted()) return IoStatus::kAborted;
  std::vector<Address> addrs;
  switch (Lookup(host, port, deadline.WithinMs(kLookupTimeoutMs), abort_, addrs)) {
    case LookupStatus::kOk: break;
    case LookupStatus::kNotFound: return IoStatus::kNotFound;
    case LookupStatus::kTimeout: return IoStatus::kTimeout;
    case LookupStatus::kAborted: return IoStatus::kAborted;
  }
  // Every address gets its turn (an unreachable IPv6 route must not hide a working
  // IPv4 address); the result is that of the last attempt.
  IoStatus result = IoStatus::kRefused;
  for (const Address& a : addrs) {
    if (Aborted()) return IoStatus::kAborted;
    if (deadline.Passed()) return IoStatus::kTimeout;
    sock_t s = ::socket(a.family, a.socktype, a.protocol);
    if (s == kBadSocket) {
      result = IoStatus::kError;
      continue;
    }
    if (!SetNonblocking(s)) {
      CloseSocket(s);
      result = IoStatus::kError;
      continue;
    }
    fd_ = static_cast<intptr_t>(s);
    int r = ::connect(s, reinterpret_cast<const sockaddr*>(a.raw.data()),
                      static_cast<socklen_t>(a.raw.size()));
    if (r != 0 && !WouldBlock(LastSocketError())) {
      Close();
      result = IoStatus::kRefused;
      continue;
    }
    if (r != 0) {
      IoStatus w = WaitFor(Wait::kConnect, deadline.WithinMs(attempt_ms));
      if (w != IoStatus::kOk) {
        Close();
        if (w == IoStatus::kAborted) return w;
        result = w;
        continue;
      }
      int err = 0;
      socklen_t len = sizeof err;
      if (getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&err), &len) != 0 ||
          err != 0) {
        Close();
        result = IoStatus::kRefused;
        continue;
      }
    }
    int one = 1;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
    return IoStatus::kOk;
  }
  return result;
}

IoStatus Socket::StartTls(const std::string& host, Deadline deadline, TlsFailure& why) {
  why = TlsFailure::kNone;
  if (fd_ == -1) return IoStatus::kError;
  std::unique_ptr<TlsChannel> ch;
  IoStatus st = TlsChannel::Open(*this, host, deadline, ch, why);
  if (st != IoStatus::kOk) {
    Close();
    return st;
  }
  tls_ = std::move(ch);
  return IoStatus::kOk;
}

bool Socket::SendAll(const void* data, size_t len, Deadline deadline) {
  if (tls_) return tls_->SendAll(data, len, deadline);
  return RawSendAll(data, len, deadline);
}

IoStatus Socket::Recv(void* buf, size_t len, size_t& got, Deadline deadline) {
  if (tls_) return tls_->Recv(buf, len, got, deadline);
  return RawRecv(buf, len, got, deadline);
}

bool Socket::RawSendAll(const void* data, size_t len, Deadline deadline) {
  const char* p = static_cast<const char*>(data);
  while (len > 0) {
    if (fd_ == -1) return false;
    if (WaitFor(Wait::kWrite, deadline) != IoStatus::kOk) return false;
    int chunk = len > 65536 ? 65536 : static_cast<int>(len);
#ifdef MSG_NOSIGNAL
    auto n = ::send(ToSock(fd_), p, chunk, MSG_NOSIGNAL);
#else
    auto n = ::send(ToSock(fd_), p, chunk, 0);
#endif
    if (n < 0) {
      if (WouldBlock(LastSocketError())) continue;
      return false;
    }
    p += n;
    len -= static_cast<size_t>(n);
  }
  return true;
}

IoStatus Socket::RawRecv(void* buf, size_t len, size_t& got, Deadline deadline) {
  got = 0;
  if (fd_ == -1) return IoStatus::kError;
  for (;;) {
    IoStatus w = WaitFor(Wait::kRead, deadline);
    if (w != IoStatus::kOk) return w;
    int chunk = len > 65536 ? 65536 : static_cast<int>(len);
    auto n = ::recv(ToSock(fd_), static_cast<char*>(buf), chunk, 0);
    if (n > 0) {
      got = static_cast<size_t>(n);
      return IoStatus::kOk;
    }
    if (n == 0) return IoStatus::kClosed;
    if (!WouldBlock(LastSocketError())) return IoStatus::kError;
  }
}

}  // namespace net
