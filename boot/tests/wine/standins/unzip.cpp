#include "unzip.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "zip_reader.h"

namespace fs = std::filesystem;

int UnzipFile(const wchar_t *zipPath, const wchar_t *destDir) {
  ZipListing zip;
  try {
    zip = ReadZip(ReadBinaryFile(zipPath));
  } catch (const std::out_of_range &) {
    return 1;  // a truncated or damaged directory
  }
  if (!zip.ok) return 1;
  for (const ZipRecord &entry : zip.records) {
    const fs::path name = fs::u8path(entry.name);
    // Only relative paths with no ".." stay inside the directory.
    if (name.empty() || name.has_root_path() || std::find(name.begin(), name.end(), fs::path("..")) != name.end()) return 1;
    const fs::path target = destDir / name;
    std::error_code ignored;
    fs::create_directories(target.parent_path(), ignored);
    if (entry.name.back() == '/') continue;
    std::ofstream out(target, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(entry.data.data()), entry.data.size());
    if (!out) return 1;
  }
  return 0;
}
