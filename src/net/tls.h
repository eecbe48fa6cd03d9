// TLS client connections over a Socket: the handshake, the certificate check and the
// records, with the socket's time-outs and abort flag.
#pragma once
#include <memory>
#include <string>

#include "net/deadline.h"

namespace net {

class Socket;
enum class IoStatus;

// Why a TLS connection could not be made.
enum class TlsFailure {
  kNone,
  kHandshake,      // no common protocol or suite, a malformed or failed handshake
  kUnknownIssuer,  // the chain does not lead to a trusted root
  kExpired,        // a certificate is outside its validity period
  kHostMismatch,   // the certificate does not name the host
  kBadCertificate  // any other fault of the certificate or chain
};
const char* TlsFailureName(TlsFailure f);

class TlsChannel {
 public:
  ~TlsChannel();
  // Handshakes as a client of `host` (sent as the server name and checked against the
  // certificate) over sock, by the deadline.
  static IoStatus Open(Socket& sock, const std::string& host, Deadline deadline,
                       std::unique_ptr<TlsChannel>& out, TlsFailure& why);
  bool SendAll(const void* data, size_t len, Deadline deadline);
  // Ok with got > 0; Closed only after the peer's close_notify (a bare close of the
  // connection is a truncation: Error).
  IoStatus Recv(void* buf, size_t len, size_t& got, Deadline deadline);
  // The socket moved: its new place.
  void Rebind(Socket& sock) { sock_ = &sock; }

 private:
  struct Impl;
  explicit TlsChannel(Socket& sock);
  static int BioSend(void* ctx, const unsigned char* buf, size_t len);
  static int BioRecv(void* ctx, unsigned char* buf, size_t len);
  Socket* sock_;
  Deadline deadline_;
  IoStatus last_;  // what the socket said when a record could not be moved
  std::unique_ptr<Impl> impl_;
};

}  // namespace net
