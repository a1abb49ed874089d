#include "installed_copy.h"

#include <windows.h>

#include "payload.h"

Layout g_layout;

namespace {

bool IsFile(const wchar_t* path) {
  const FileState state = ProbeFile(path);
  return state.found && !state.is_directory;
}

}  // namespace

FileState ProbeFile(const wchar_t* path) {
  const DWORD attributes = GetFileAttributesW(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) return {false, false};
  return {true, (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0};
}

InstalledCopy ReadInstalledCopy(char* stamp) {
  const bool stamp_opened = ReadVersionStamp(g_layout.version_file, stamp);
  return {IsFile(g_layout.runtime_exe), stamp_opened, stamp_opened ? stamp : "", IsFile(g_layout.app_main_js)};
}
