// Portable blocking TCP client socket with time-outs (Winsock or POSIX).
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "net/deadline.h"
#include "net/tls.h"

namespace net {

// Result of a connect or receive.
enum class IoStatus {
  kOk,
  kClosed,  // orderly end of data
  kTimeout,
  kAborted,   // the abort flag was set
  kRefused,   // no address accepted the connection (refused or unreachable)
  kNotFound,  // the host name was not found
  kError
};

// Longest lookup of a host name within a connect.
constexpr int kLookupTimeoutMs = 10000;

class Socket {
 public:
  Socket() = default;
  // Takes over a connected socket (tests and fuzzing drive it from their own end).
  explicit Socket(intptr_t connected_fd);
  ~Socket();
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;
  Socket(Socket&& other) noexcept;
  Socket& operator=(Socket&& other) noexcept;

  // Every wait polls in short slices and gives up with Aborted as soon as *abort is set.
  void SetAbortFlag(const std::atomic<bool>* abort) { abort_ = abort; }

  // Resolves host (name or numeric address) and tries each of its addresses in turn,
  // each for at most attempt_ms, until one accepts. The lookup (at most
  // kLookupTimeoutMs) and all attempts end by the deadline.
  IoStatus Connect(const std::string& host, uint16_t port, int attempt_ms,
                   Deadline deadline = Deadline());
  // Makes the connection a TLS client connection to host (the name is sent to the server
  // and checked against its certificate), by the deadline; SendAll and Recv then carry
  // the plain text. Not Ok: the socket is closed, and why says what TLS found wrong.
  IoStatus StartTls(const std::string& host, Deadline deadline, TlsFailure& why);
  bool IsTls() const { return tls_ != nullptr; }

  // Sends all bytes; false on error, time-out or abort.
  bool SendAll(const void* data, size_t len, Deadline deadline);
  bool SendAll(const void* data, size_t len, int timeout_ms) {
    return SendAll(data, len, Deadline::InMs(timeout_ms));
  }
  // Receives up to len bytes; got is set on Ok.
  IoStatus Recv(void* buf, size_t len, size_t& got, Deadline deadline);
  IoStatus Recv(void* buf, size_t len, size_t& got, int timeout_ms) {
    return Recv(buf, len, got, Deadline::InMs(timeout_ms));
  }
  void Close();
  bool IsOpen() const;

 private:
  friend class TlsChannel;
  bool RawSendAll(const void* data, size_t len, Deadline deadline);
  IoStatus RawRecv(void* buf, size_t len, size_t& got, Deadline deadline);
  enum class Wait { kRead, kWrite, kConnect };
  IoStatus WaitFor(Wait what, Deadline deadline);
  bool Aborted() const { return abort_ && abort_->load(); }
  intptr_t fd_ = -1;
  const std::atomic<bool>* abort_ = nullptr;
  std::unique_ptr<TlsChannel> tls_;
};

// Call once before any socket use (Winsock start-up; nothing elsewhere). Safe to call repeatedly.
void Init();

}  // namespace net
