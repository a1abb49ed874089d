// The application archive carried in the executable, the version file and the hand-over to
// the launcher application.
#pragma once

#include <cstddef>

#include "layout.h"

// The carried archive: one contiguous read-only block.
const unsigned char* CarriedArchive();
size_t CarriedArchiveSize();

// Writes the carried archive byte for byte to `path`. An archive that cannot be written shows
// later as a failed unpack, so nothing is reported here.
void WriteCarriedArchive(const wchar_t* path);

// Reads the version file `path` into `text` (kStampCapacity bytes): at most 127 bytes, up to
// the first zero byte. False when the file cannot be opened; `text` is then empty.
bool ReadVersionStamp(const wchar_t* path, char* text);

// Writes the 13 bytes of the stamp, nothing more, to `path` (created anew). A failure shows at
// the next start as a stamp that does not match.
void WriteVersionStamp(const wchar_t* path);

// Sets QUORLIN_EXE and QUORLIN_BOOT and opens the runtime executable through the shell with
// RuntimeDir as working directory and no arguments. True when the shell reports success.
bool StartApp(const Layout& layout);
