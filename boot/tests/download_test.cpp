#include "download.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(Download, StatusShowsWholeMebibytesRoundedDown) {
  wchar_t text[kStatusTextCapacity];
  FormDownloadStatus(text, kStatusTextCapacity, 1048575, 120 * 1048576ULL + 1048575);
  EXPECT_EQ(std::wstring(text), L"Quorlin indiriliyor… 0 / 120 MB");
  FormDownloadStatus(text, kStatusTextCapacity, 5ULL << 40, 6ULL << 40);  // beyond 4 GB
  EXPECT_EQ(std::wstring(text), L"Quorlin indiriliyor… 5242880 / 6291456 MB");
}

TEST(Download, PermilleRunsFromZeroTo800) {
  EXPECT_EQ((std::vector<int>{DownloadPermille(1, 1000), DownloadPermille(999, 1000), DownloadPermille(1000, 1000),
                              DownloadPermille(6ULL << 40, 6ULL << 40)}),
            (std::vector<int>{0, 799, 800, 800}));  // rounded down
}

TEST(Download, AttemptSucceedsOnlyWithTheAnnouncedLength) {
  struct Row {
    bool finished;
    uint64_t received, length;
    bool ok;
  } rows[] = {
      {true, 500, 500, true},    {true, 499, 500, false},  // short body
      {true, 0, 0, true},        {true, 12345, 0, true},   // no length announced
      {false, 500, 500, false},                            // read or write broke
  };
  for (const Row& r : rows) {
    EXPECT_EQ(AttemptSucceeded(r.finished, r.received, r.length), r.ok) << r.received << "/" << r.length;
  }
  EXPECT_FALSE(BodyOverruns(500, 500));
  EXPECT_TRUE(BodyOverruns(501, 500));  // a longer body fails at once
  EXPECT_FALSE(BodyOverruns(1 << 30, 0));
}

TEST(Download, MakesAtMostThreeAttempts) {
  for (int succeed_on : {0, 1, 2, 3}) {  // 0: never
    int calls_and_success[2] = {0, succeed_on};
    const auto attempt = [](void* c) { int* n = static_cast<int*>(c); return ++n[0] == n[1]; };
    EXPECT_EQ(DownloadWithAttempts(attempt, calls_and_success), succeed_on != 0);
    EXPECT_EQ(calls_and_success[0], succeed_on == 0 ? 3 : succeed_on);
  }
}
