#include "zip_directory.h"

#include <cstdint>

#include "le_bytes.h"

namespace {

constexpr uint32_t kEndRecord = 0x06054b50;
constexpr uint32_t kDirectoryRecord = 0x02014b50;
constexpr size_t kEndRecordSize = 22;
constexpr size_t kDirectoryRecordSize = 46;
constexpr size_t kMaxCommentSize = 0xFFFF;

}  // namespace

size_t LongestEntryName(const unsigned char* archive, size_t size) {
  if (size < kEndRecordSize) return 0;
  // The end record sits at the very end unless a comment follows it.
  size_t end = size - kEndRecordSize;
  const size_t lowest = end > kMaxCommentSize ? end - kMaxCommentSize : 0;
  while (ReadLE(archive + end, 4) != kEndRecord) {
    if (end == lowest) return 0;
    --end;
  }
  const uint32_t count = ReadLE(archive + end + 10, 2);
  size_t at = ReadLE(archive + end + 16, 4);
  size_t longest = 0;
  for (uint32_t i = 0; i < count; ++i) {
    if (at > end || end - at < kDirectoryRecordSize || ReadLE(archive + at, 4) != kDirectoryRecord) return 0;
    const size_t name = ReadLE(archive + at + 28, 2);
    const size_t record = kDirectoryRecordSize + name + ReadLE(archive + at + 30, 2) + ReadLE(archive + at + 32, 2);
    if (end - at < record) return 0;
    if (name > longest) longest = name;
    at += record;
  }
  return longest;
}
