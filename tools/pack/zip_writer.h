// Deterministic ZIP archives: the same entries always give the same bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ZipEntry {
  std::string name;  // forward slashes; a folder's name ends in '/'
  std::vector<unsigned char> data;
};

// Builds an archive of `entries` in byte-wise name order: each file deflated, or stored when
// deflate does not make it smaller; folders as entries of their own; one fixed timestamp; no
// comment. False with `error` set when the entries do not fit a plain (non-64-bit) archive.
bool BuildZip(std::vector<ZipEntry> entries, std::vector<unsigned char>* archive, std::string* error);
