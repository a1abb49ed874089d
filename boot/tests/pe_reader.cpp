#include "pe_reader.h"

#include "le_bytes.h"

namespace {

struct Section {
  uint32_t rva, size, offset;
};

struct Headers {
  std::vector<Section> sections;
  uint32_t import_rva = 0, resource_rva = 0;
};

size_t Offset(const Headers& h, uint32_t rva) {
  for (const Section& s : h.sections) {
    if (rva >= s.rva && rva < s.rva + s.size) return rva - s.rva + s.offset;
  }
  return static_cast<size_t>(-1);
}

std::string Text(const std::vector<unsigned char>& b, size_t at) {
  std::string s;
  while (b.at(at) != 0) s.push_back(static_cast<char>(b[at++]));
  return s;
}

bool ReadHeaders(const std::vector<unsigned char>& b, PeImage* image, Headers* h) {
  if (b.size() < 0x40 || b[0] != 'M' || b[1] != 'Z') return false;
  const size_t pe = GetLE(b, 0x3C, 4);
  if (GetLE(b, pe, 4) != 0x4550) return false;
  image->machine = static_cast<uint16_t>(GetLE(b, pe + 4, 2));
  const uint32_t section_count = GetLE(b, pe + 6, 2);
  const size_t optional = pe + 24;
  if (GetLE(b, optional, 2) != 0x20B) return false;  // 64-bit image
  image->subsystem = static_cast<uint16_t>(GetLE(b, optional + 68, 2));
  h->import_rva = GetLE(b, optional + 112 + 8, 4);
  h->resource_rva = GetLE(b, optional + 112 + 16, 4);
  const size_t table = optional + GetLE(b, pe + 20, 2);
  for (uint32_t i = 0; i < section_count; ++i) {
    const size_t s = table + 40 * i;
    h->sections.push_back({GetLE(b, s + 12, 4), GetLE(b, s + 16, 4), GetLE(b, s + 20, 4)});
  }
  return true;
}

// The offset of the entry for `id` in the resource directory at `dir` (relative to the root).
uint32_t Entry(const std::vector<unsigned char>& b, size_t root, uint32_t dir, uint32_t id, bool any) {
  const size_t at = root + dir;
  const uint32_t count = GetLE(b, at + 12, 2) + GetLE(b, at + 14, 2);
  for (uint32_t i = 0; i < count; ++i) {
    const size_t e = at + 16 + 8 * i;
    if (any || GetLE(b, e, 4) == id) return GetLE(b, e + 4, 4);
  }
  return 0xFFFFFFFF;
}

}  // namespace

PeImage ReadPe(const std::vector<unsigned char>& b) {
  PeImage image;
  Headers h;
  if (!ReadHeaders(b, &image, &h)) return image;
  for (size_t d = Offset(h, h.import_rva); GetLE(b, d + 12, 4) != 0; d += 20) {
    const std::string dll = Text(b, Offset(h, GetLE(b, d + 12, 4)));
    image.dlls.push_back(dll);
    uint32_t thunks = GetLE(b, d, 4);
    if (thunks == 0) thunks = GetLE(b, d + 16, 4);
    for (size_t t = Offset(h, thunks);; t += 8) {
      const uint32_t low = GetLE(b, t, 4);
      const uint32_t high = GetLE(b, t + 4, 4);
      if (low == 0 && high == 0) break;
      if ((high & 0x80000000u) == 0) image.imports.push_back(dll + "!" + Text(b, Offset(h, low) + 2));
    }
  }
  image.ok = true;
  return image;
}

bool FindPeResource(const std::vector<unsigned char>& b, uint32_t type, uint32_t id, std::vector<unsigned char>* data) {
  PeImage image;
  Headers h;
  if (!ReadHeaders(b, &image, &h) || h.resource_rva == 0) return false;
  const size_t root = Offset(h, h.resource_rva);
  uint32_t leaf = 0;
  for (int level = 0; level < 3; ++level) {  // the type, the id, then the first language
    leaf = Entry(b, root, leaf & 0x7FFFFFFF, level == 0 ? type : id, level == 2);
    if (leaf == 0xFFFFFFFF) return false;
  }
  const size_t at = Offset(h, GetLE(b, root + leaf, 4));
  data->assign(b.begin() + at, b.begin() + at + GetLE(b, root + leaf + 4, 4));
  return true;
}
