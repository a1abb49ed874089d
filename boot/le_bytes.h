// Little-endian fields of byte buffers, as ZIP, ICO and PE files store them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

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
  uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | b.at(at + i);
  return v;
}
