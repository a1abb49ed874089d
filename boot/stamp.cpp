#include "stamp.h"

#include <cstring>

void StampText(const char* bytes, size_t count, char* text) {
  size_t n = 0;
  while (n < count && n < kStampCapacity - 1 && bytes[n] != '\0') {
    text[n] = bytes[n];
    ++n;
  }
  text[n] = '\0';
}

bool CanFastLaunch(const InstalledCopy& copy) {
  return copy.runtime_exe_is_file && copy.stamp_opened && std::strcmp(copy.stamp, kVersionStamp) == 0 &&
         copy.app_main_js_is_file;
}

bool RuntimeIsCurrent(const InstalledCopy& copy) {
  return copy.runtime_exe_is_file && std::strstr(copy.stamp, kRuntimeMark) != nullptr;
}

StageAction DecideStage(bool probe_found, bool probe_is_directory) {
  return probe_found && !probe_is_directory ? StageAction::kPromote : StageAction::kRemove;
}
