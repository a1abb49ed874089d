// Reads what the checks need from a 64-bit Windows executable: machine, subsystem, imported
// DLLs and functions, and resources.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct PeImage {
  bool ok = false;
  uint16_t machine = 0;
  uint16_t subsystem = 0;
  std::vector<std::string> dlls;     // as named in the import table
  std::vector<std::string> imports;  // "DLL!Function"
};

PeImage ReadPe(const std::vector<unsigned char>& file);

// The data of resource `type`/`id` (first language); false when there is none.
bool FindPeResource(const std::vector<unsigned char>& file, uint32_t type, uint32_t id,
                    std::vector<unsigned char>* data);
