// make_jar: packs a folder of compiled classes and resources into a mod archive, through the
// launcher packer's archive writer, so the same folder always gives the same bytes.
//   make_jar CLASSES_DIR OUT.jar
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

#include "zip_writer.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: make_jar CLASSES_DIR OUT.jar\n";
    return 2;
  }
  const fs::path root = argv[1];
  std::vector<ZipEntry> entries;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().lexically_relative(root).generic_string();
    if (it->is_directory(ec)) {
      entries.push_back(ZipEntry{name + "/", {}});
      continue;
    }
    std::ifstream in(it->path(), std::ios::binary);
    ZipEntry entry{name, std::vector<unsigned char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>())};
    if (!in && !in.eof()) {
      std::cerr << "make_jar: cannot read " << it->path() << "\n";
      return 1;
    }
    entries.push_back(std::move(entry));
  }
  std::vector<unsigned char> archive;
  std::string error;
  if (ec) {
    error = "cannot list " + root.string() + ": " + ec.message();
  } else if (BuildZip(std::move(entries), &archive, &error)) {
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(archive.data()), static_cast<std::streamsize>(archive.size()));
    out.close();
    if (!out) error = std::string("cannot write ") + argv[2];
  }
  if (!error.empty()) {
    std::cerr << "make_jar: " << error << "\n";
    return 1;
  }
  return 0;
}
