// Linux: the TLS library checks the chain against the PEM roots of /etc/ssl/certs.
#include <mutex>

#include "net/test_hooks.h"
#include "net/tls_verify.h"

namespace net {
namespace {

struct Roots {
  std::mutex lock;
  mbedtls_x509_crt system, test;
  bool system_loaded = false, use_test = false;
  Roots() {
    mbedtls_x509_crt_init(&system);
    mbedtls_x509_crt_init(&test);
  }
  ~Roots() {
    mbedtls_x509_crt_free(&system);
    mbedtls_x509_crt_free(&test);
  }
};

Roots& RootStore() {
  static Roots r;
  return r;
}

}  // namespace

mbedtls_x509_crt* TlsRoots() {
  Roots& r = RootStore();
  std::lock_guard<std::mutex> g(r.lock);
  if (r.use_test) return &r.test;
  if (!r.system_loaded) {
    r.system_loaded = true;
    // The bundle holds every root; the folder is the fallback. Unreadable entries are skipped.
    if (mbedtls_x509_crt_parse_file(&r.system, "/etc/ssl/certs/ca-certificates.crt") != 0 &&
        r.system.version == 0)
      mbedtls_x509_crt_parse_path(&r.system, "/etc/ssl/certs");
  }
  return &r.system;
}

namespace {
TlsFailure Judge(const mbedtls_x509_crt* chain, uint32_t flags) {
  if (!chain) return TlsFailure::kBadCertificate;
  if (flags == 0) return TlsFailure::kNone;
  if (flags & MBEDTLS_X509_BADCERT_NOT_TRUSTED) return TlsFailure::kUnknownIssuer;
  if (flags & (MBEDTLS_X509_BADCERT_EXPIRED | MBEDTLS_X509_BADCERT_FUTURE))
    return TlsFailure::kExpired;
  if (flags & MBEDTLS_X509_BADCERT_CN_MISMATCH) return TlsFailure::kHostMismatch;
  return TlsFailure::kBadCertificate;  // a leaf not meant for a TLS server among them
}
}  // namespace

// The library's check is all there is: nothing is fetched, nothing waits.
IoStatus TlsVerify(const mbedtls_x509_crt* chain, uint32_t flags, const std::string&, Deadline,
                   const std::function<bool()>&, TlsFailure& why) {
  why = Judge(chain, flags);
  return IoStatus::kOk;
}

namespace test_hooks {

void SetTrustedRootsPem(const std::string& pem) {
  Roots& r = RootStore();
  std::lock_guard<std::mutex> g(r.lock);
  mbedtls_x509_crt_free(&r.test);
  mbedtls_x509_crt_init(&r.test);
  r.use_test = !pem.empty();
  if (r.use_test)
    mbedtls_x509_crt_parse(&r.test, reinterpret_cast<const unsigned char*>(pem.c_str()),
                           pem.size() + 1);
}

}  // namespace test_hooks
}  // namespace net
