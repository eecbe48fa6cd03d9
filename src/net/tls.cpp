#include "net/tls.h"

#include <mbedtls/ctr_drbg.h>
#include <mbedtls/entropy.h>
#include <mbedtls/error.h>
#include <mbedtls/net_sockets.h>
#include <mbedtls/ssl.h>
#include <psa/crypto.h>

#include "net/socket.h"
#include "net/tls_verify.h"

namespace net {

const char* TlsFailureName(TlsFailure f) {
  switch (f) {
    case TlsFailure::kNone: return "none";
    case TlsFailure::kHandshake: return "handshake failed";
    case TlsFailure::kUnknownIssuer: return "unknown issuer";
    case TlsFailure::kExpired: return "certificate expired";
    case TlsFailure::kHostMismatch: return "certificate for another host";
    case TlsFailure::kBadCertificate: return "bad certificate";
  }
  return "";
}

struct TlsChannel::Impl {
  mbedtls_entropy_context entropy;
  mbedtls_ctr_drbg_context drbg;
  mbedtls_ssl_config conf;
  mbedtls_ssl_context ssl;
  Impl() {
    mbedtls_entropy_init(&entropy);
    mbedtls_ctr_drbg_init(&drbg);
    mbedtls_ssl_config_init(&conf);
    mbedtls_ssl_init(&ssl);
  }
  ~Impl() {
    mbedtls_ssl_free(&ssl);
    mbedtls_ssl_config_free(&conf);
    mbedtls_ctr_drbg_free(&drbg);
    mbedtls_entropy_free(&entropy);
  }
};

TlsChannel::TlsChannel(Socket& sock) : sock_(&sock), last_(IoStatus::kOk), impl_(new Impl) {}

TlsChannel::~TlsChannel() = default;

// The record layer's I/O: whole writes, reads of what is there. A time-out or abort is
// reported as "would block" with the socket's status kept in last_.
int TlsChannel::BioSend(void* ctx, const unsigned char* buf, size_t len) {
  auto* ch = static_cast<TlsChannel*>(ctx);
  if (ch->sock_->RawSendAll(buf, len, ch->deadline_)) return static_cast<int>(len);
  ch->last_ = ch->sock_->Aborted()     ? IoStatus::kAborted
              : ch->deadline_.Passed() ? IoStatus::kTimeout
                                       : IoStatus::kError;
  return ch->last_ == IoStatus::kError ? MBEDTLS_ERR_NET_SEND_FAILED : MBEDTLS_ERR_SSL_WANT_WRITE;
}

int TlsChannel::BioRecv(void* ctx, unsigned char* buf, size_t len) {
  auto* ch = static_cast<TlsChannel*>(ctx);
  size_t got = 0;
  IoStatus st = ch->sock_->RawRecv(buf, len, got, ch->deadline_);
  ch->last_ = st;
  switch (st) {
    case IoStatus::kOk: return static_cast<int>(got);
    case IoStatus::kClosed: return 0;
    case IoStatus::kTimeout:
    case IoStatus::kAborted: return MBEDTLS_ERR_SSL_WANT_READ;
    default: return MBEDTLS_ERR_NET_RECV_FAILED;
  }
}

IoStatus TlsChannel::Open(Socket& sock, const std::string& host, Deadline deadline,
                          std::unique_ptr<TlsChannel>& out, TlsFailure& why) {
  why = TlsFailure::kNone;
  std::unique_ptr<TlsChannel> ch(new TlsChannel(sock));
  Impl& t = *ch->impl_;
  static const unsigned char kPersonal[] = "tivolna tls client";
  // TLS 1.3 keys live in the PSA core (started once; later calls are no-ops).
  if (psa_crypto_init() != PSA_SUCCESS ||
      mbedtls_ctr_drbg_seed(&t.drbg, mbedtls_entropy_func, &t.entropy, kPersonal,
                            sizeof kPersonal - 1) != 0 ||
      mbedtls_ssl_config_defaults(&t.conf, MBEDTLS_SSL_IS_CLIENT, MBEDTLS_SSL_TRANSPORT_STREAM,
                                  MBEDTLS_SSL_PRESET_DEFAULT) != 0) {
    why = TlsFailure::kHandshake;
    return IoStatus::kError;
  }
  mbedtls_ssl_conf_rng(&t.conf, mbedtls_ctr_drbg_random, &t.drbg);
  mbedtls_ssl_conf_min_tls_version(&t.conf, MBEDTLS_SSL_VERSION_TLS1_2);
  mbedtls_ssl_conf_max_tls_version(&t.conf, MBEDTLS_SSL_VERSION_TLS1_3);
  // The chain is judged after the handshake, by TlsVerify.
  mbedtls_ssl_conf_authmode(&t.conf, MBEDTLS_SSL_VERIFY_OPTIONAL);
  if (mbedtls_x509_crt* roots = TlsRoots()) mbedtls_ssl_conf_ca_chain(&t.conf, roots, nullptr);
  if (mbedtls_ssl_setup(&t.ssl, &t.conf) != 0 ||
      mbedtls_ssl_set_hostname(&t.ssl, host.c_str()) != 0) {
    why = TlsFailure::kHandshake;
    return IoStatus::kError;
  }
  mbedtls_ssl_set_bio(&t.ssl, ch.get(), BioSend, BioRecv, nullptr);
  ch->deadline_ = deadline;
  for (;;) {
    ch->last_ = IoStatus::kOk;
    int r = mbedtls_ssl_handshake(&t.ssl);
    if (r == 0) break;
    if (r == MBEDTLS_ERR_SSL_WANT_READ || r == MBEDTLS_ERR_SSL_WANT_WRITE) {
      if (ch->last_ == IoStatus::kTimeout || ch->last_ == IoStatus::kAborted) return ch->last_;
      continue;
    }
    if (ch->last_ == IoStatus::kClosed || ch->last_ == IoStatus::kError) return IoStatus::kError;
    why = TlsFailure::kHandshake;
    return IoStatus::kError;
  }
  IoStatus st = TlsVerify(
      mbedtls_ssl_get_peer_cert(&t.ssl), mbedtls_ssl_get_verify_result(&t.ssl), host, deadline,
      [&sock] { return sock.Aborted(); }, why);
  if (st != IoStatus::kOk) return st;
  if (why != TlsFailure::kNone) return IoStatus::kError;
  out = std::move(ch);
  return IoStatus::kOk;
}

bool TlsChannel::SendAll(const void* data, size_t len, Deadline deadline) {
  deadline_ = deadline;
  const auto* p = static_cast<const unsigned char*>(data);
  while (len > 0) {
    last_ = IoStatus::kOk;
    int n = mbedtls_ssl_write(&impl_->ssl, p, len);
    if (n > 0) {
      p += n;
      len -= static_cast<size_t>(n);
      continue;
    }
    if ((n == MBEDTLS_ERR_SSL_WANT_WRITE || n == MBEDTLS_ERR_SSL_WANT_READ) &&
        last_ == IoStatus::kOk)
      continue;
    return false;
  }
  return true;
}

IoStatus TlsChannel::Recv(void* buf, size_t len, size_t& got, Deadline deadline) {
  got = 0;
  deadline_ = deadline;
  for (;;) {
    last_ = IoStatus::kOk;
    int n = mbedtls_ssl_read(&impl_->ssl, static_cast<unsigned char*>(buf), len);
    if (n > 0) {
      got = static_cast<size_t>(n);
      return IoStatus::kOk;
    }
    if (n == MBEDTLS_ERR_SSL_PEER_CLOSE_NOTIFY) return IoStatus::kClosed;
    // A TLS 1.3 ticket after the handshake is no data: read on.
    if (n == MBEDTLS_ERR_SSL_RECEIVED_NEW_SESSION_TICKET) continue;
    if (n == MBEDTLS_ERR_SSL_WANT_READ || n == MBEDTLS_ERR_SSL_WANT_WRITE) {
      if (last_ == IoStatus::kTimeout || last_ == IoStatus::kAborted) return last_;
      continue;
    }
    return IoStatus::kError;  // 0: the connection closed without close_notify, a truncation
  }
}

}  // namespace net
