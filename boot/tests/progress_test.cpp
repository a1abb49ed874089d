#include "progress.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

TEST(BootProgress, StartsPreparingAndBoundsStatusAndErrorTexts) {
  BootProgress progress;
  progress.permille = 700;
  StoreErrorText(&progress, L"eski");
  ResetBootProgress(&progress);
  wchar_t status[kStatusCapacity];
  CopyStatusText(&progress, status);
  EXPECT_EQ(std::wstring(status), L"Hazırlanıyor…");
  EXPECT_EQ(progress.permille.load(), 0);
  EXPECT_EQ(progress.error[0], L'\0');

  StoreStatusText(&progress, std::wstring(300, L'ş').c_str());
  CopyStatusText(&progress, status);
  EXPECT_EQ(std::wstring(status), std::wstring(254, L'ş'));
  StoreErrorText(&progress, std::wstring(600, L'e').c_str());
  EXPECT_EQ(std::wstring(progress.error), std::wstring(kErrorCapacity - 1, L'e'));
}

TEST(BootProgress, PaintingNeverReadsAHalfWrittenStatus) {
  // Two texts that differ in every character and in length: a torn copy mixes them.
  const std::wstring a(200, L'a');
  const std::wstring b(40, L'b');
  BootProgress progress;
  std::atomic<bool> done{false};
  std::thread writer([&] {
    for (int i = 0; i < 200000; ++i) StoreStatusText(&progress, (i % 2 ? a : b).c_str());
    done = true;
  });
  int torn = 0;
  int reads = 0;
  while (!done) {
    wchar_t status[kStatusCapacity];
    CopyStatusText(&progress, status);
    const std::wstring seen(status);
    if (seen != a && seen != b && !seen.empty()) ++torn;
    ++reads;
  }
  writer.join();
  EXPECT_EQ(torn, 0) << "of " << reads << " reads";
}
