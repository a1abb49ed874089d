#include "file_digest.h"

#include "download.h"
#include "system_libraries.h"

namespace {

bool HashFile(const BcryptApi& bcrypt, BCRYPT_HASH_HANDLE hash, HANDLE file) {
  static unsigned char buffer[kDownloadChunk];  // the worker thread alone hashes
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(file, buffer, sizeof(buffer), &read, nullptr)) return false;
    if (read == 0) return true;
    if (!BCRYPT_SUCCESS(bcrypt.hash_data(hash, buffer, read, 0))) return false;
  }
}

}  // namespace

bool FileSha256(const wchar_t* path, unsigned char* digest) {
  const BcryptApi* bcrypt = LoadBcrypt();
  if (bcrypt == nullptr) return false;
  HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  bool ok = false;
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  if (BCRYPT_SUCCESS(bcrypt->open_algorithm(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0))) {
    BCRYPT_HASH_HANDLE hash = nullptr;
    // Without a buffer of ours the library keeps the hash object itself.
    if (BCRYPT_SUCCESS(bcrypt->create_hash(algorithm, &hash, nullptr, 0, nullptr, 0, 0))) {
      ok = HashFile(*bcrypt, hash, file) &&
           BCRYPT_SUCCESS(bcrypt->finish_hash(hash, digest, static_cast<ULONG>(kSha256Size), 0));
      (void)bcrypt->destroy_hash(hash);
    }
    (void)bcrypt->close_algorithm(algorithm, 0);
  }
  CloseHandle(file);
  return ok;
}
