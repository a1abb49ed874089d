// Little-endian fields of byte buffers, as ZIP, ICO and PE files store them. Portable; shared
// by the bootstrapper, its build tools and their tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
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

// The `bytes`-byte value at `at`; throws std::out_of_range past the end.
inline uint32_t GetLE(const std::vector<unsigned char>& b, size_t at, int bytes) {
  if (at > b.size() || b.size() - at < static_cast<size_t>(bytes)) throw std::out_of_range("past the end");
  return ReadLE(b.data() + at, bytes);
}
