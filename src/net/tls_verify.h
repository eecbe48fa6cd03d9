// The certificate check of a finished handshake, one implementation per platform.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include <mbedtls/x509_crt.h>

#include "net/socket.h"
#include "net/tls.h"

namespace net {

// The roots handed to the TLS library, or nullptr where the platform checks the chain
// itself after the handshake.
mbedtls_x509_crt* TlsRoots();
// The verdict on the server's chain (leaf first), given what the TLS library found
// (`library_flags`, from its check against TlsRoots() and of the leaf's key usages): Ok with
// `why` set, or Timeout / Aborted when the check outlasts the deadline or `aborted` says so.
IoStatus TlsVerify(const mbedtls_x509_crt* chain, uint32_t library_flags, const std::string& host,
                   Deadline deadline, const std::function<bool()>& aborted, TlsFailure& why);

}  // namespace net
