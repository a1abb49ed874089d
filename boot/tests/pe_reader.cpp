#include "pe_reader.h"

namespace {

struct Section {
  uint32_t rva, size, offset;
};

struct Headers {
  std::vector<Section> sections;
  uint32_t import_rva = 0, resource_rva = 0;
};

uint32_t Get(const std::vector<unsigned char>& b, size_t at, int bytes) {
  uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | b.at(at + i);
  return v;
}

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
  const size_t pe = Get(b, 0x3C, 4);
  if (Get(b, pe, 4) != 0x4550) return false;
  image->machine = static_cast<uint16_t>(Get(b, pe + 4, 2));
  const uint32_t section_count = Get(b, pe + 6, 2);
  const size_t optional = pe + 24;
  if (Get(b, optional, 2) != 0x20B) return false;  // 64-bit image
  image->subsystem = static_cast<uint16_t>(Get(b, optional + 68, 2));
  h->import_rva = Get(b, optional + 112 + 8, 4);
  h->resource_rva = Get(b, optional + 112 + 16, 4);
  const size_t table = optional + Get(b, pe + 20, 2);
  for (uint32_t i = 0; i < section_count; ++i) {
    const size_t s = table + 40 * i;
    h->sections.push_back({Get(b, s + 12, 4), Get(b, s + 16, 4), Get(b, s + 20, 4)});
  }
  return true;
}

// The offset of the entry for `id` in the resource directory at `dir` (relative to the root).
uint32_t Entry(const std::vector<unsigned char>& b, size_t root, uint32_t dir, uint32_t id, bool any) {
  const size_t at = root + dir;
  const uint32_t count = Get(b, at + 12, 2) + Get(b, at + 14, 2);
  for (uint32_t i = 0; i < count; ++i) {
    const size_t e = at + 16 + 8 * i;
    if (any || Get(b, e, 4) == id) return Get(b, e + 4, 4);
  }
  return 0xFFFFFFFF;
}

}  // namespace

PeImage ReadPe(const std::vector<unsigned char>& b) {
  PeImage image;
  Headers h;
  if (!ReadHeaders(b, &image, &h)) {
    image.error = "not a 64-bit PE image";
    return image;
  }
  for (size_t d = Offset(h, h.import_rva); Get(b, d + 12, 4) != 0; d += 20) {
    const std::string dll = Text(b, Offset(h, Get(b, d + 12, 4)));
    image.dlls.push_back(dll);
    uint32_t thunks = Get(b, d, 4);
    if (thunks == 0) thunks = Get(b, d + 16, 4);
    for (size_t t = Offset(h, thunks);; t += 8) {
      const uint32_t low = Get(b, t, 4);
      const uint32_t high = Get(b, t + 4, 4);
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
  const uint32_t names = Entry(b, root, 0, type, false);
  if (names == 0xFFFFFFFF) return false;
  const uint32_t languages = Entry(b, root, names & 0x7FFFFFFF, id, false);
  if (languages == 0xFFFFFFFF) return false;
  const uint32_t leaf = Entry(b, root, languages & 0x7FFFFFFF, 0, true);
  if (leaf == 0xFFFFFFFF) return false;
  const size_t at = Offset(h, Get(b, root + leaf, 4));
  data->assign(b.begin() + at, b.begin() + at + Get(b, root + leaf + 4, 4));
  return true;
}
