#include "pack.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace fs = std::filesystem;

namespace {

constexpr char kBuildInfoName[] = "build-info.json";

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

void AppendJsonString(std::string* out, const std::string& value) {
  out->push_back('"');
  for (unsigned char c : value) {
    if (c == '"' || c == '\\') {
      out->push_back('\\');
      out->push_back(static_cast<char>(c));
    } else if (c < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof(escaped), "\\u%04x", c);
      out->append(escaped);
    } else {
      out->push_back(static_cast<char>(c));
    }
  }
  out->push_back('"');
}

bool ReadFile(const fs::path& path, std::vector<unsigned char>* data) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  data->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

bool Collect(const fs::path& dir, const std::string& prefix, std::vector<ZipEntry>* entries, std::string* error) {
  std::error_code ec;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    std::error_code no_type;  // a dangling link has no type of its own: it counts as a file
    const bool is_folder = it->is_directory(no_type);
    if (!IsShipped(name, is_folder)) continue;
    // A link could bring in files from outside the application, or loop into names too long
    // for any install folder; only what lies in the application's own folder is packed.
    if (it->is_symlink(ec)) {
      *error = it->path().string() + " is a symbolic link: put the files it points at in its place";
      return false;
    }
    if (!is_folder && !it->is_regular_file(ec)) continue;
    // The generated build information replaces a copy lying in the folder.
    if (prefix.empty() && name == kBuildInfoName) continue;
    if (is_folder) {
      entries->push_back(ZipEntry{prefix + name + "/", {}});
      if (!Collect(it->path(), prefix + name + "/", entries, error)) return false;
    } else {
      ZipEntry entry{prefix + name, {}};
      if (!ReadFile(it->path(), &entry.data)) {
        *error = "cannot read " + it->path().string();
        return false;
      }
      entries->push_back(std::move(entry));
    }
  }
  if (ec) {
    *error = "cannot list " + dir.string() + ": " + ec.message();
    return false;
  }
  return true;
}

}  // namespace

bool IsShipped(const std::string& name, bool is_folder) {
  if (name.empty() || name[0] == '.') return false;
  if (is_folder) {
    return name != "test" && name != "tests" && name != "__tests__" && name != "node_modules";
  }
  return !EndsWith(name, ".test.js") && !EndsWith(name, ".mk") &&
         name != "Makefile" && name != "CMakeLists.txt" && name != "package-lock.json";
}

std::string BuildInfoJson(const std::string& client_id, const std::string& update_api,
                          const std::string& update_key) {
  std::string json = "{\"clientId\":";
  AppendJsonString(&json, client_id);
  json += ",\"updateApi\":";
  AppendJsonString(&json, update_api);
  if (!update_key.empty()) {
    json += ",\"updateKey\":";
    AppendJsonString(&json, update_key);
  }
  json += "}";
  return json;
}

bool ReadUpdateKey(const std::string& path, std::string* key, std::string* error) {
  std::vector<unsigned char> data;
  if (!ReadFile(path, &data)) {
    *error = "cannot read the update key " + path;
    return false;
  }
  const std::string text(data.begin(), data.end());
  const char* blank = " \t\r\n";
  const size_t first = text.find_first_not_of(blank);
  const size_t last = text.find_last_not_of(blank);
  *key = first == std::string::npos ? "" : text.substr(first, last - first + 1);
  const std::string begin = "-----BEGIN PUBLIC KEY-----", end = "-----END PUBLIC KEY-----";
  if (key->compare(0, begin.size(), begin) != 0 || !EndsWith(*key, end) ||
      key->find("-----", begin.size()) != key->size() - end.size()) {
    *error = path + " is not one PEM public key (openssl pkey -pubout writes one from the private key)";
    return false;
  }
  return true;
}

bool CollectApp(const std::string& root, const std::string& build_info, std::vector<ZipEntry>* entries,
                std::string* error) {
  std::error_code ec;
  if (!fs::is_regular_file(fs::path(root) / "main.js", ec)) {
    *error = root + "/main.js is missing: the application cannot be packed without its main module";
    return false;
  }
  entries->clear();
  if (!Collect(root, "", entries, error)) return false;
  entries->push_back(ZipEntry{kBuildInfoName, std::vector<unsigned char>(build_info.begin(), build_info.end())});
  return true;
}
