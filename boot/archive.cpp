#include "archive.h"

#include <cstdint>

namespace {

constexpr uint32_t kEndRecord = 0x06054b50;
constexpr uint32_t kDirectoryRecord = 0x02014b50;
constexpr size_t kEndRecordSize = 22;
constexpr size_t kDirectoryRecordSize = 46;
constexpr size_t kMaxCommentSize = 0xFFFF;

uint32_t Read(const unsigned char* p, int bytes) {
  uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}

}  // namespace

size_t LongestEntryName(const unsigned char* archive, size_t size) {
  if (size < kEndRecordSize) return 0;
  // The end record sits at the very end unless a comment follows it.
  size_t end = size - kEndRecordSize;
  const size_t lowest = end > kMaxCommentSize ? end - kMaxCommentSize : 0;
  while (Read(archive + end, 4) != kEndRecord) {
    if (end == lowest) return 0;
    --end;
  }
  const uint32_t count = Read(archive + end + 10, 2);
  size_t at = Read(archive + end + 16, 4);
  size_t longest = 0;
  for (uint32_t i = 0; i < count; ++i) {
    if (at > end || end - at < kDirectoryRecordSize || Read(archive + at, 4) != kDirectoryRecord) return 0;
    const size_t name = Read(archive + at + 28, 2);
    const size_t record = kDirectoryRecordSize + name + Read(archive + at + 30, 2) + Read(archive + at + 32, 2);
    if (end - at < record) return 0;
    if (name > longest) longest = name;
    at += record;
  }
  return longest;
}
