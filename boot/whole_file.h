// Small files read and written whole: the version file, the start count, markers and the
// carried archive.
#pragma once

#include <cstddef>

// Reads at most `capacity` bytes from the start of the file `path` into `bytes`; `*count`
// receives how many (0 when the read fails). False when the file cannot be opened.
bool ReadFileStart(const wchar_t* path, char* bytes, size_t capacity, size_t* count);

// Creates `path` anew (no sharing) holding exactly the `count` bytes of `bytes`. False when it
// could not be created or not written whole.
bool WriteWholeFile(const wchar_t* path, const void* bytes, size_t count);
