/* Makes a certificate authority trusted in this Windows installation: adds the DER file
 * given as the only argument to the system's Root store. Exits 0 on success. */
#include <windows.h>
#include <wincrypt.h>
#include <stdio.h>

int wmain(int argc, wchar_t **argv) {
  if (argc != 2) {
    fputs("usage: addca <certificate.der>\n", stderr);
    return 2;
  }
  HANDLE f = CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
  if (f == INVALID_HANDLE_VALUE) {
    fputs("addca: cannot open the certificate\n", stderr);
    return 1;
  }
  static BYTE der[65536];
  DWORD size = 0;
  ReadFile(f, der, sizeof der, &size, NULL);
  CloseHandle(f);
  if (!CertAddEncodedCertificateToSystemStoreW(L"Root", der, size)) {
    fprintf(stderr, "addca: not added (error %lu)\n", GetLastError());
    return 1;
  }
  return 0;
}
