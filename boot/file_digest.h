// The SHA-256 of a file, with Windows' own implementation.
#pragma once

// Hashes the whole file `path` into `digest` (kSha256Size bytes) with bcrypt.dll from the system
// directory, reading it in chunks. False when the file cannot be read whole or the library is
// missing; `digest` is then undefined.
bool FileSha256(const wchar_t* path, unsigned char* digest);
