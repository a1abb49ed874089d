#include "zip_writer.h"

#include <zlib.h>

#include <algorithm>

#include "le_bytes.h"

namespace {

constexpr uint16_t kVersionNeeded = 20;  // deflate and folders
constexpr uint16_t kMethodStored = 0;
constexpr uint16_t kMethodDeflated = 8;
constexpr uint16_t kFlagUtf8Name = 0x0800;
// 1980-01-01 00:00:00, the first moment a ZIP timestamp can name.
constexpr uint16_t kDosTime = 0;
constexpr uint16_t kDosDate = (1 << 5) | 1;
constexpr uint32_t kDirectoryAttribute = 0x10;

void PutBytes(std::vector<unsigned char>* out, const void* data, size_t size) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  out->insert(out->end(), bytes, bytes + size);
}

bool IsAscii(const std::string& text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Raw deflate at the strongest level.
std::vector<unsigned char> Deflate(const std::vector<unsigned char>& data) {
  z_stream stream = {};
  deflateInit2(&stream, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
  std::vector<unsigned char> out(deflateBound(&stream, data.size()));
  stream.next_in = const_cast<unsigned char*>(data.data());
  stream.avail_in = static_cast<uInt>(data.size());
  stream.next_out = out.data();
  stream.avail_out = static_cast<uInt>(out.size());
  deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return out;
}

struct Written {
  uint16_t flags, method;
  uint32_t crc, compressed_size, size, offset;
};

// The fields that the local header and the central directory record share, in their order.
void PutEntryFields(std::vector<unsigned char>* out, const Written& w, size_t name_size) {
  PutLE16(out, kVersionNeeded);
  PutLE16(out, w.flags);
  PutLE16(out, w.method);
  PutLE16(out, kDosTime);
  PutLE16(out, kDosDate);
  PutLE32(out, w.crc);
  PutLE32(out, w.compressed_size);
  PutLE32(out, w.size);
  PutLE16(out, static_cast<uint32_t>(name_size));
}

}  // namespace

bool BuildZip(std::vector<ZipEntry> entries, std::vector<unsigned char>* archive, std::string* error) {
  std::sort(entries.begin(), entries.end(), [](const ZipEntry& a, const ZipEntry& b) { return a.name < b.name; });
  if (entries.size() > 0xFFFF) {
    *error = "too many entries for a ZIP archive";
    return false;
  }
  std::vector<unsigned char>& out = *archive;
  out.clear();
  std::vector<Written> written;
  for (const ZipEntry& entry : entries) {
    if (entry.data.size() > 0xFFFFFFFEu || out.size() > 0xFFFFFFFEu) {
      *error = "archive larger than 4 GB: " + entry.name;
      return false;
    }
    Written w;
    w.flags = IsAscii(entry.name) ? 0 : kFlagUtf8Name;
    w.size = static_cast<uint32_t>(entry.data.size());
    w.crc = static_cast<uint32_t>(crc32(0, entry.data.data(), static_cast<uInt>(entry.data.size())));
    w.offset = static_cast<uint32_t>(out.size());
    std::vector<unsigned char> deflated = Deflate(entry.data);
    const bool store = deflated.size() >= entry.data.size();
    w.method = store ? kMethodStored : kMethodDeflated;
    const std::vector<unsigned char>& body = store ? entry.data : deflated;
    w.compressed_size = static_cast<uint32_t>(body.size());

    PutLE32(&out, 0x04034b50);
    PutEntryFields(&out, w, entry.name.size());
    PutLE16(&out, 0);  // no extra field
    PutBytes(&out, entry.name.data(), entry.name.size());
    PutBytes(&out, body.data(), body.size());
    written.push_back(w);
  }
  const uint32_t directory_offset = static_cast<uint32_t>(out.size());
  for (size_t i = 0; i < entries.size(); ++i) {
    const ZipEntry& entry = entries[i];
    const Written& w = written[i];
    const bool is_folder = !entry.name.empty() && entry.name.back() == '/';
    PutLE32(&out, 0x02014b50);
    PutLE16(&out, kVersionNeeded);  // made by: MS-DOS attributes
    PutEntryFields(&out, w, entry.name.size());
    PutLE16(&out, 0);  // extra field
    PutLE16(&out, 0);  // comment
    PutLE16(&out, 0);  // disk
    PutLE16(&out, 0);  // internal attributes
    PutLE32(&out, is_folder ? kDirectoryAttribute : 0);
    PutLE32(&out, w.offset);
    PutBytes(&out, entry.name.data(), entry.name.size());
  }
  const uint32_t directory_size = static_cast<uint32_t>(out.size()) - directory_offset;
  PutLE32(&out, 0x06054b50);
  PutLE16(&out, 0);
  PutLE16(&out, 0);
  PutLE16(&out, static_cast<uint32_t>(entries.size()));
  PutLE16(&out, static_cast<uint32_t>(entries.size()));
  PutLE32(&out, directory_size);
  PutLE32(&out, directory_offset);
  PutLE16(&out, 0);  // no comment
  return true;
}
