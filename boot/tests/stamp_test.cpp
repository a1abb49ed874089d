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

TEST(Stamp, OnlyTheFirst127BytesCount) {
  std::string file(126, ' ');
  file += "|45.2.1";  // the mark starts at byte 127 and so is not read whole
  char text[kStampCapacity];
  StampText(file.data(), file.size(), text);
  EXPECT_EQ(std::string(text).size(), 127u);
  EXPECT_FALSE(RuntimeIsCurrent({true, true, text, true}));

  file = std::string(120, ' ') + "|45.2.1";  // ends exactly at byte 127
  StampText(file.data(), file.size(), text);
  EXPECT_TRUE(RuntimeIsCurrent({true, true, text, true}));
}
