#include "download.h"

#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <utility>
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

TEST(Download, AnAnswerContinuesThePartOnlyFromWhereItEnds) {
  using K = RangeAnswer;
  const struct {
    uint32_t status;
    const wchar_t* content_range;  // the part holds 800 bytes
    const wchar_t* content_length;  // as the header reads; empty when absent
    K::Kind kind;
    uint64_t total;
  } rows[] = {
      {206, L"bytes 800-999/1000", L"200", K::kAppend, 1000},
      {206, L"bytes 800-999/1000", L"", K::kAppend, 1000},
      {206, L"bytes 700-999/1000", L"300", K::kDiscard, 0},  // not from the part's end
      {206, L"bytes 800-899/1000", L"100", K::kDiscard, 0},  // not to the file's end
      {206, L"bytes 800-999/1000", L"300", K::kDiscard, 0},  // body longer than the range
      {206, L"bytes 800-999/*", L"200", K::kDiscard, 0},     // no total stated
      {206, L"bytes 800-18446744073709551615/18446744073709551615", L"", K::kDiscard, 0},
      {200, L"", L"1000", K::kStartOver, 1000},              // the range was ignored
      {200, L"", L"", K::kStartOver, 0},                     // no length: unknown
      {200, L"", L"-1", K::kStartOver, 0},                   // not a plain number: unknown
      {200, L"", L"99999999999999999999", K::kStartOver, 0}, // beyond 64 bits
      {416, L"bytes */700", L"", K::kDiscard, 0},
      {503, L"", L"", K::kFail, 0},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    const auto& r = rows[i];
    const RangeAnswer a = ReadRangeAnswer(r.status, 800, r.content_range, ReadContentLength(r.content_length));
    EXPECT_EQ(std::make_pair(a.kind, a.total), std::make_pair(r.kind, r.total)) << "row " << i;
  }
  wchar_t header[64];
  FormRangeHeader(header, 64, 5ULL << 40);
  EXPECT_EQ(std::wstring(header), L"Range: bytes=5497558138880-\r\n");
}

TEST(Download, FreeSpaceCoversWhatIsToComeAndTheUnpackedRuntime) {
  EXPECT_EQ(SpaceNeeded(120 * kMebibyte), 120 * kMebibyte + kRuntimeUnpackedSize);
  EXPECT_EQ(SpaceNeeded(UINT64_MAX - 5), UINT64_MAX) << "a stated length near 2^64 never wraps to a small need";
  wchar_t text[kStatusTextCapacity];
  FormSpaceError(text, kStatusTextCapacity, 450 * kMebibyte);
  EXPECT_EQ(std::wstring(text), L"Quorlin için en az 450 MB boş alan gerekiyor.");
  FormSpaceError(text, kStatusTextCapacity, 450 * kMebibyte + 1);  // rounded up
  EXPECT_EQ(std::wstring(text), L"Quorlin için en az 451 MB boş alan gerekiyor.");
}

TEST(Download, DigestMatchesItsHexadecimalTextInEitherCase) {
  unsigned char digest[kSha256Size];
  for (size_t i = 0; i < kSha256Size; ++i) digest[i] = static_cast<unsigned char>(i * 8 + 7);
  const std::string hex = "070f171f272f373f474f575f676f777f878f979fa7afb7bfc7cfd7dfe7eff7ff";
  EXPECT_TRUE(DigestMatches(hex.c_str(), digest));
  EXPECT_TRUE(DigestMatches("070F171F272F373F474F575F676F777F878F979FA7AFB7BFC7CFD7DFE7EFF7FF", digest));
  for (const std::string& wrong : {"170f" + hex.substr(4), hex.substr(0, 62), hex + "00", hex.substr(0, 63) + "g"}) {
    EXPECT_FALSE(DigestMatches(wrong.c_str(), digest)) << wrong;
  }
}

TEST(Download, AttemptsThatMadeProgressDoNotCount) {
  // What the attempts come to, in order: Succeeded, Failed, Progressed, Gave up.
  const struct {
    std::string results;
    bool ok;
    size_t attempts;
  } rows[] = {{"S", true, 1},        {"FFS", true, 3},         {"FFFS", false, 3},  // three failures end it
              {"PFPFPS", true, 6},   {"PFPFPFS", false, 6},    {"GS", false, 1}};   // no room: no more
  for (const auto& row : rows) {
    std::pair<const std::string*, size_t> script{&row.results, 0};
    const auto attempt = [](void* c) {
      auto* s = static_cast<std::pair<const std::string*, size_t>*>(c);
      switch ((*s->first)[s->second++]) {
        case 'S': return AttemptResult::kSucceeded;
        case 'P': return AttemptResult::kProgressed;
        case 'G': return AttemptResult::kGiveUp;
        default: return AttemptResult::kFailed;
      }
    };
    EXPECT_EQ(DownloadWithAttempts(attempt, &script), row.ok) << row.results;
    EXPECT_EQ(script.second, row.attempts) << row.results;
  }
}
