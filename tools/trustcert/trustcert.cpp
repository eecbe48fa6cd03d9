// Test helper: trusts a root certificate (DER file) in the current user's root store of the
// Windows it runs on; used only inside the end-to-end tests' own wine prefixes.
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: trustcert ROOT.der\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  std::vector<unsigned char> der((std::istreambuf_iterator<char>(in)),
                                 std::istreambuf_iterator<char>());
  if (der.empty()) {
    std::fprintf(stderr, "trustcert: cannot read the certificate\n");
    return 1;
  }
  HCERTSTORE root =
      CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, L"Root");
  if (!root) {
    std::fprintf(stderr, "trustcert: cannot open the root store (%lu)\n", GetLastError());
    return 1;
  }
  BOOL ok = CertAddEncodedCertificateToStore(root, X509_ASN_ENCODING, der.data(),
                                             static_cast<DWORD>(der.size()),
                                             CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
  DWORD err = GetLastError();
  CertCloseStore(root, 0);
  if (!ok) {
    std::fprintf(stderr, "trustcert: cannot add the certificate (%lu)\n", err);
    return 1;
  }
  std::printf("trusted\n");
  return 0;
}
