// Windows: the server's chain is checked by the system (CryptoAPI), so its roots count,
// those it fetches on demand included. Those fetches (missing intermediates, roots) are
// bounded by the opening's deadline: each by dwUrlRetrievalTimeout, the whole check by a
// wait that gives up at the deadline or abort and leaves the worker to finish on its own.
#define CERT_CHAIN_PARA_HAS_EXTRA_FIELDS
#include <windows.h>
#include <wincrypt.h>

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "net/test_hooks.h"
#include "net/tls_verify.h"

namespace net {
namespace {

std::wstring Wide(const std::string& s) {
  int n = MultiByteToWideChar(CP_UTF8, 0, s.c_str(), -1, nullptr, 0);
  std::wstring w(n > 0 ? n : 1, L'\0');
  if (n > 0) MultiByteToWideChar(CP_UTF8, 0, s.c_str(), -1, &w[0], n);
  return w;
}

struct Store {
  HCERTSTORE h;
  ~Store() {
    if (h) CertCloseStore(h, 0);
  }
};
struct Cert {
  PCCERT_CONTEXT h;
  ~Cert() {
    if (h) CertFreeCertificateContext(h);
  }
};
struct ChainContext {
  PCCERT_CHAIN_CONTEXT h = nullptr;
  ~ChainContext() {
    if (h) CertFreeCertificateChain(h);
  }
};

// Revocation is not asked for, so its "unknown" bits mean nothing here.
constexpr DWORD kIgnored = CERT_TRUST_REVOCATION_STATUS_UNKNOWN | CERT_TRUST_IS_OFFLINE_REVOCATION;

}  // namespace

mbedtls_x509_crt* TlsRoots() { return nullptr; }

namespace {

// What a check needs, owned by it: the worker may outlive the opening that asked.
struct ChainJob {
  std::vector<std::vector<unsigned char>> certs;  // leaf first
  std::wstring host;
  DWORD retrieval_ms = 0;
  std::mutex lock;
  std::condition_variable changed;
  bool done = false;
  TlsFailure verdict = TlsFailure::kBadCertificate;
};

TlsFailure CheckChain(const ChainJob& job) {
  const auto& leaf_der = job.certs.front();
  Cert leaf{CertCreateCertificateContext(X509_ASN_ENCODING, leaf_der.data(),
                                         static_cast<DWORD>(leaf_der.size()))};
  Store extra{CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, 0, nullptr)};
  if (!leaf.h || !extra.h) return TlsFailure::kBadCertificate;
  for (size_t i = 1; i < job.certs.size(); ++i)
    CertAddEncodedCertificateToStore(extra.h, X509_ASN_ENCODING, job.certs[i].data(),
                                     static_cast<DWORD>(job.certs[i].size()), CERT_STORE_ADD_ALWAYS,
                                     nullptr);
  LPSTR usage[] = {const_cast<LPSTR>(szOID_PKIX_KP_SERVER_AUTH)};
  CERT_CHAIN_PARA para{};
  // The Windows 7 layout, up to the cache resync time (the strong-sign fields came later).
  para.cbSize = offsetof(CERT_CHAIN_PARA, pStrongSignPara);
  para.RequestedUsage.dwType = USAGE_MATCH_TYPE_OR;
  para.RequestedUsage.Usage.cUsageIdentifier = 1;
  para.RequestedUsage.Usage.rgpszUsageIdentifier = usage;
  para.dwUrlRetrievalTimeout = job.retrieval_ms;
  ChainContext ctx;
  if (!CertGetCertificateChain(nullptr, leaf.h, nullptr, extra.h, &para, 0, nullptr, &ctx.h) ||
      !ctx.h)
    return TlsFailure::kBadCertificate;
  // The chain's own status first: the policy check alone lets a chain without a known root
  // through on some systems.
  DWORD status = ctx.h->TrustStatus.dwErrorStatus & ~kIgnored;
  if (status & (CERT_TRUST_IS_UNTRUSTED_ROOT | CERT_TRUST_IS_PARTIAL_CHAIN))
    return TlsFailure::kUnknownIssuer;
  if (status & CERT_TRUST_IS_NOT_TIME_VALID) return TlsFailure::kExpired;
  if (status) return TlsFailure::kBadCertificate;
  std::wstring name = job.host;
  SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl{};
  ssl.cbSize = sizeof ssl;
  ssl.dwAuthType = AUTHTYPE_SERVER;
  ssl.pwszServerName = &name[0];
  CERT_CHAIN_POLICY_PARA policy{};
  policy.cbSize = sizeof policy;
  policy.pvExtraPolicyPara = &ssl;
  CERT_CHAIN_POLICY_STATUS result{};
  result.cbSize = sizeof result;
  if (!CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, ctx.h, &policy, &result))
    return TlsFailure::kBadCertificate;
  switch (static_cast<HRESULT>(result.dwError)) {
    case S_OK: return TlsFailure::kNone;
    case CERT_E_CN_NO_MATCH: return TlsFailure::kHostMismatch;
    case CERT_E_EXPIRED: return TlsFailure::kExpired;
    case CERT_E_UNTRUSTEDROOT:
    case CERT_E_CHAINING: return TlsFailure::kUnknownIssuer;
    default: return TlsFailure::kBadCertificate;
  }
}

}  // namespace

IoStatus TlsVerify(const mbedtls_x509_crt* chain, uint32_t flags, const std::string& host,
                   Deadline deadline, const std::function<bool()>& aborted, TlsFailure& why) {
  why = TlsFailure::kBadCertificate;
  if (!chain) return IoStatus::kOk;
  // The library's own finding on the leaf's usages stands whatever the system says.
  if (flags & (MBEDTLS_X509_BADCERT_KEY_USAGE | MBEDTLS_X509_BADCERT_EXT_KEY_USAGE))
    return IoStatus::kOk;
  if (aborted()) return IoStatus::kAborted;
  int left = deadline.LeftMs();
  if (left == 0) return IoStatus::kTimeout;
  auto job = std::make_shared<ChainJob>();
  for (const mbedtls_x509_crt* c = chain; c; c = c->next)
    job->certs.emplace_back(c->raw.p, c->raw.p + c->raw.len);
  job->host = Wide(host);
  job->retrieval_ms = static_cast<DWORD>(left < 60000 ? left : 60000);
  std::thread([job] {
    TlsFailure v = CheckChain(*job);
    std::lock_guard<std::mutex> g(job->lock);
    job->verdict = v;
    job->done = true;
    job->changed.notify_all();
  }).detach();
  std::unique_lock<std::mutex> g(job->lock);
  while (!job->done) {
    if (aborted()) return IoStatus::kAborted;
    left = deadline.LeftMs();
    if (left == 0) return IoStatus::kTimeout;
    job->changed.wait_for(g, std::chrono::milliseconds(left < 50 ? left : 50));
  }
  why = job->verdict;
  return IoStatus::kOk;
}

namespace test_hooks {
void SetTrustedRootsPem(const std::string&) {}  // the test prefix's own store is used
}  // namespace test_hooks

}  // namespace net
