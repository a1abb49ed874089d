#include "stamp.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct CopyRow {
  const char* what;
  bool exe_is_file;
  bool opened;
  std::string file;  // bytes of the version file
  bool main_js_is_file;
  bool fast_launch;
  bool runtime_current;
};

const CopyRow kCopies[] = {
    {"installed and current", true, true, "1.0.26|45.2.1", true, true, true},
    {"stamp followed by a line break", true, true, "1.0.26|45.2.1\r\n", true, false, true},
    {"older application version", true, true, "1.0.25|45.2.1", true, false, true},
    {"older runtime", true, true, "1.0.26|44.0.0", true, false, false},
    {"empty version file", true, true, "", true, false, false},
    {"no version file", true, false, "", true, false, false},
    {"runtime executable missing", false, true, "1.0.26|45.2.1", true, false, false},
    {"application emptied by a broken update", true, true, "1.0.26|45.2.1", false, false, true},
    {"zero byte ends the text", true, true, std::string("1.0.26|45.2.1\0junk", 18), true, true, true},
    {"zero byte before the mark", true, true, std::string("1.0.26\0|45.2.1", 14), true, false, false},
    {"invalid UTF-8 beside the mark", true, true, "\xE2|45.2.1", true, false, true},
    // Only the first 127 bytes count.
    {"mark from byte 127 on", true, true, std::string(126, ' ') + "|45.2.1", true, false, false},
    {"mark ending at byte 127", true, true, std::string(120, ' ') + "|45.2.1", true, false, true},
};

}  // namespace

TEST(Stamp, DecidesFastLaunchAndRuntimeFromTheInstalledCopy) {
  for (const CopyRow& row : kCopies) {
    char text[kStampCapacity];
    StampText(row.file.data(), row.file.size(), text);
    const InstalledCopy copy{row.exe_is_file, row.opened, text, row.main_js_is_file};
    EXPECT_EQ(CanFastLaunch(copy), row.fast_launch) << row.what;
    EXPECT_EQ(RuntimeIsCurrent(copy), row.runtime_current) << row.what;
  }
}
