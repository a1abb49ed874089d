// Reads the central directory of a ZIP archive held in memory. Portable.
#pragma once

#include <cstddef>

// The length of the archive's longest entry name (bytes of UTF-8, never fewer than the
// characters it stands for on Windows), or 0 when the archive's directory cannot be read.
size_t LongestEntryName(const unsigned char* archive, size_t size);
