// Little-endian fields of byte buffers, as ZIP and ICO files store them. Portable; shared by
// the bootstrapper and its build tools.
#pragma once

#include <cstdint>
#include <vector>

// The `bytes`-byte value at `p`.
inline uint32_t ReadLE(const unsigned char* p, int bytes) {
  uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}

inline void PutLE16(std::vector<unsigned char>* out, uint32_t v) {
  out->push_back(static_cast<unsigned char>(v & 0xFF));
  out->push_back(static_cast<unsigned char>((v >> 8) & 0xFF));
}

inline void PutLE32(std::vector<unsigned char>* out, uint32_t v) {
  PutLE16(out, v & 0xFFFF);
  PutLE16(out, v >> 16);
}
