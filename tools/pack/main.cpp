// quorlin_pack: packs the launcher application's folder into the archive that Quorlin.exe
// carries, with the build values in build-info.json.
//   quorlin_pack --client-id ID --update-api URL [--update-key PUBLIC_KEY.pem] APP_DIR OUT.zip
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "pack.h"

namespace {

int Usage() {
  std::fprintf(stderr, "usage: quorlin_pack --client-id ID --update-api URL [--update-key PUBLIC_KEY.pem] APP_DIR OUT.zip\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string client_id, update_api, update_key_file, app_dir, out;
  int positional = 0;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--client-id") == 0 && i + 1 < argc) {
      client_id = argv[++i];
    } else if (std::strcmp(argv[i], "--update-api") == 0 && i + 1 < argc) {
      update_api = argv[++i];
    } else if (std::strcmp(argv[i], "--update-key") == 0 && i + 1 < argc) {
      update_key_file = argv[++i];
    } else if (positional == 0) {
      app_dir = argv[i], ++positional;
    } else if (positional == 1) {
      out = argv[i], ++positional;
    } else {
      return Usage();
    }
  }
  if (positional != 2) return Usage();

  std::vector<ZipEntry> entries;
  std::vector<unsigned char> archive;
  std::string error, update_key;
  if ((!update_key_file.empty() && !ReadUpdateKey(update_key_file, &update_key, &error)) ||
      !CollectApp(app_dir, BuildInfoJson(client_id, update_api, update_key), &entries, &error) ||
      !BuildZip(std::move(entries), &archive, &error)) {
    std::fprintf(stderr, "quorlin_pack: %s\n", error.c_str());
    return 1;
  }
  // Written beside the target and renamed, so a failed run never leaves a half archive.
  const std::string partial = out + ".part";
  std::ofstream file(partial, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(archive.data()), static_cast<std::streamsize>(archive.size()));
  file.close();
  if (!file || std::rename(partial.c_str(), out.c_str()) != 0) {
    std::remove(partial.c_str());
    std::fprintf(stderr, "quorlin_pack: cannot write %s\n", out.c_str());
    return 1;
  }
  return 0;
}
