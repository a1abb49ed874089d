// Packs the launcher application's folder into the archive the bootstrapper carries.
#pragma once

#include <string>
#include <vector>

#include "zip_writer.h"

// False for what never ships: hidden files and folders, tests, dependency folders and build
// files. `name` is one path component; `is_folder` tells what it names.
bool IsShipped(const std::string& name, bool is_folder);

// {"clientId":"…","updateApi":"…"} with both values JSON-escaped, and "updateKey" after them
// when `update_key` is not empty.
std::string BuildInfoJson(const std::string& client_id, const std::string& update_api,
                          const std::string& update_key = "");

// The key that update manifests are checked with: the text of the file `path`, trimmed, which
// must be one PEM "PUBLIC KEY" block. False with `error` set otherwise, a private key above all,
// which must never ship.
bool ReadUpdateKey(const std::string& path, std::string* key, std::string* error);

// Collects the shipped files and folders below `root` (names relative to it, forward slashes)
// and adds the generated build-info.json at the root. False with `error` set when `root` has
// no main.js file, cannot be read, or holds a symbolic link (to a file or a folder).
bool CollectApp(const std::string& root, const std::string& build_info, std::vector<ZipEntry>* entries,
                std::string* error);
