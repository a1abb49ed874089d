#include "zip_reader.h"

#include "le_bytes.h"

#include <zlib.h>

#include <fstream>
#include <iterator>

namespace {

bool Inflate(const unsigned char* in, size_t in_size, std::vector<unsigned char>* out) {
  z_stream s = {};
  if (inflateInit2(&s, -15) != Z_OK) return false;
  s.next_in = const_cast<unsigned char*>(in);
  s.avail_in = static_cast<uInt>(in_size);
  s.next_out = out->data();
  s.avail_out = static_cast<uInt>(out->size());
  const int rc = inflate(&s, Z_FINISH);
  inflateEnd(&s);
  return rc == Z_STREAM_END && s.total_out == out->size();
}

}  // namespace

ZipListing ReadZip(const std::vector<unsigned char>& a) {
  ZipListing z;
  auto fail = [&z](const std::string& error) {
    z.error = error;
    return z;
  };
  if (a.size() < 22 || GetLE(a, a.size() - 22, 4) != 0x06054b50) {
    return fail("no end record at the archive's end (a comment would move it)");
  }
  const size_t end = a.size() - 22;
  z.comment_length = static_cast<uint16_t>(GetLE(a, end + 20, 2));
  size_t at = GetLE(a, end + 16, 4);
  for (uint32_t i = GetLE(a, end + 10, 2); i > 0; --i) {
    if (GetLE(a, at, 4) != 0x02014b50) return fail("bad central directory record");
    ZipRecord r;
    r.flags = static_cast<uint16_t>(GetLE(a, at + 8, 2));
    r.method = static_cast<uint16_t>(GetLE(a, at + 10, 2));
    r.time = static_cast<uint16_t>(GetLE(a, at + 12, 2));
    r.date = static_cast<uint16_t>(GetLE(a, at + 14, 2));
    r.crc = GetLE(a, at + 16, 4);
    r.compressed_size = GetLE(a, at + 20, 4);
    r.size = GetLE(a, at + 24, 4);
    const uint32_t name_length = GetLE(a, at + 28, 2);
    r.external_attributes = GetLE(a, at + 38, 4);
    const uint32_t local = GetLE(a, at + 42, 4);
    r.name.assign(a.begin() + at + 46, a.begin() + at + 46 + name_length);
    at += 46 + name_length + GetLE(a, at + 30, 2) + GetLE(a, at + 32, 2);

    const size_t body = local + 30 + GetLE(a, local + 26, 2) + GetLE(a, local + 28, 2);
    if (GetLE(a, local, 4) != 0x04034b50 || body + r.compressed_size > a.size()) {
      return fail("bad local header of " + r.name);
    }
    r.data.resize(r.size);
    if (r.method == 0) {
      r.data.assign(a.begin() + body, a.begin() + body + r.compressed_size);
    } else if (r.method != 8 || !Inflate(&a[body], r.compressed_size, &r.data)) {
      return fail("cannot unpack " + r.name);
    }
    if (crc32(0, r.data.data(), static_cast<uInt>(r.data.size())) != r.crc) return fail("CRC mismatch in " + r.name);
    z.records.push_back(std::move(r));
  }
  z.ok = true;
  return z;
}

std::vector<unsigned char> ReadBinaryFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
