// The version stamp and the decisions taken from it. Portable.
//
// The version file holds the stamp as UTF-8 without terminator or line break. Its text is
// compared byte-wise: the stamp and the runtime mark are plain ASCII, and a UTF-8 decoder
// never turns other bytes into ASCII characters, so comparing the bytes decides exactly as
// comparing the decoded text would.
#pragma once

#include <cstddef>

constexpr char kVersionStamp[] = "1.0.26|45.2.1";  // application version | runtime version
constexpr char kRuntimeMark[] = "|45.2.1";           // what a stamp of the current runtime contains
constexpr size_t kStampCapacity = 128;               // bytes, terminating zero included
constexpr size_t kStampLength = sizeof(kVersionStamp) - 1;

// The text of a version file from its first `count` bytes: at most 127 bytes count and the text
// ends at the first zero byte. `text` holds kStampCapacity bytes and is always terminated.
void StampText(const char* bytes, size_t count, char* text);

// What start-up and the install worker learn about an installed copy.
struct InstalledCopy {
  bool runtime_exe_is_file;  // RuntimeDir\Quorlin.exe exists and is not a directory
  bool stamp_opened;         // the version file could be opened
  const char* stamp;         // its text (empty when it could not be opened)
  bool app_main_js_is_file;  // the application directory holds main.js as a file
};

// Fast launch: runtime executable present, stamp exactly equal and the application's main.js
// present, so a runtime with an emptied application directory is never started.
bool CanFastLaunch(const InstalledCopy& copy);

// The runtime needs no download: runtime executable present and the stamp names the current
// runtime anywhere in its text.
bool RuntimeIsCurrent(const InstalledCopy& copy);

// A staged application copy is promoted only when main.js lies as a file at its root;
// otherwise the stage directory is removed.
enum class StageAction { kRemove, kPromote };
StageAction DecideStage(bool probe_found, bool probe_is_directory);
