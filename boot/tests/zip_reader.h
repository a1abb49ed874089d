// Reads a ZIP archive from memory for the tests: its central directory and entry contents.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

struct ZipRecord {
  std::string name;
  uint16_t flags, method, time, date;
  uint32_t crc, compressed_size, size, external_attributes;
  std::vector<unsigned char> data;  // unpacked and checked against its CRC
};

struct ZipListing {
  bool ok = false;
  std::string error;
  uint16_t comment_length = 0;
  std::vector<ZipRecord> records;  // in archive order
};

ZipListing ReadZip(const std::vector<unsigned char>& archive);

std::vector<unsigned char> ReadBinaryFile(const std::filesystem::path& path);
