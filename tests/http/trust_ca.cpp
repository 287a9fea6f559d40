// Adds a DER certificate to the machine root store of the Wine prefix it runs in, so that the
// TLS tests' throwaway CA is trusted there and nowhere else.
#include <windows.h>

#include <wincrypt.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: trust_ca <certificate.der>\n");
    return 2;
  }
  std::ifstream file(argv[1], std::ios::binary);
  const std::string der((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (der.empty()) {
    std::fprintf(stderr, "trust_ca: cannot read %s\n", argv[1]);
    return 1;
  }
  HCERTSTORE root =
      CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"ROOT");
  if (root == nullptr) {
    std::fprintf(stderr, "trust_ca: cannot open the root store (%lu)\n", GetLastError());
    return 1;
  }
  const BOOL added = CertAddEncodedCertificateToStore(
      root, X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()),
      static_cast<DWORD>(der.size()), CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
  if (!added) std::fprintf(stderr, "trust_ca: cannot add the certificate (%lu)\n", GetLastError());
  CertCloseStore(root, 0);
  return added ? 0 : 1;
}
