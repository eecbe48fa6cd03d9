// Windows: the server's chain is checked by the system (CryptoAPI), so its roots count,
// those it fetches on demand included.
#include <windows.h>
#include <wincrypt.h>

#include "net/net_testing.h"
#include "net/tls_verify.h"

namespace net {
namespace {

std::wstring Wide(const std::string &s) {
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

mbedtls_x509_crt *tls_roots() { return nullptr; }

TlsFailure tls_verify(const mbedtls_x509_crt *chain, uint32_t, const std::string &host) {
    if (!chain) return TlsFailure::BadCertificate;
    Cert leaf{CertCreateCertificateContext(X509_ASN_ENCODING, chain->raw.p, static_cast<DWORD>(chain->raw.len))};
    Store extra{CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, 0, nullptr)};
    if (!leaf.h || !extra.h) return TlsFailure::BadCertificate;
    for (const mbedtls_x509_crt *c = chain->next; c; c = c->next)
        CertAddEncodedCertificateToStore(extra.h, X509_ASN_ENCODING, c->raw.p, static_cast<DWORD>(c->raw.len),
                                         CERT_STORE_ADD_ALWAYS, nullptr);
    LPSTR usage[] = {const_cast<LPSTR>(szOID_PKIX_KP_SERVER_AUTH)};
    CERT_CHAIN_PARA para{};
    para.cbSize = sizeof para;
    para.RequestedUsage.dwType = USAGE_MATCH_TYPE_OR;
    para.RequestedUsage.Usage.cUsageIdentifier = 1;
    para.RequestedUsage.Usage.rgpszUsageIdentifier = usage;
    ChainContext ctx;
    if (!CertGetCertificateChain(nullptr, leaf.h, nullptr, extra.h, &para, 0, nullptr, &ctx.h) || !ctx.h)
        return TlsFailure::BadCertificate;
    // The chain's own status first: the policy check alone lets a chain without a known root
    // through on some systems.
    DWORD status = ctx.h->TrustStatus.dwErrorStatus & ~kIgnored;
    if (status & (CERT_TRUST_IS_UNTRUSTED_ROOT | CERT_TRUST_IS_PARTIAL_CHAIN)) return TlsFailure::UnknownIssuer;
    if (status & CERT_TRUST_IS_NOT_TIME_VALID) return TlsFailure::Expired;
    if (status) return TlsFailure::BadCertificate;
    std::wstring name = Wide(host);
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
        return TlsFailure::BadCertificate;
    switch (static_cast<HRESULT>(result.dwError)) {
    case S_OK: return TlsFailure::None;
    case CERT_E_CN_NO_MATCH: return TlsFailure::HostMismatch;
    case CERT_E_EXPIRED: return TlsFailure::Expired;
    case CERT_E_UNTRUSTEDROOT:
    case CERT_E_CHAINING: return TlsFailure::UnknownIssuer;
    default: return TlsFailure::BadCertificate;
    }
}

namespace testing {
void set_trusted_roots_pem(const std::string &) {}  // the test prefix's own store is used
}  // namespace testing

}  // namespace net
