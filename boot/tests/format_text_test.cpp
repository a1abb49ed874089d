#include "format_text.h"

#include <gtest/gtest.h>

#include <string>

TEST(FormatText, InsertsTextsAndNumbers) {
  wchar_t buffer[64];
  EXPECT_EQ(FormatText(buffer, 64, L"%s\\runtime", L"C:\\Q"), 12);
  EXPECT_EQ(std::wstring(buffer), L"C:\\Q\\runtime");
  EXPECT_EQ(FormatText(buffer, 64, L"%llu / %llu MB 100%%", 0ULL, 18446744073709551615ULL), 32);
  EXPECT_EQ(std::wstring(buffer), L"0 / 18446744073709551615 MB 100%");
  EXPECT_EQ(FormatText(buffer, 64, L"[%s]", static_cast<const wchar_t*>(nullptr)), 2);
  EXPECT_EQ(std::wstring(buffer), L"[]");
}

TEST(FormatText, CapacityCountsTheTerminator) {
  wchar_t buffer[6];
  EXPECT_EQ(FormatText(buffer, 6, L"%s", L"abcde"), 5);
  EXPECT_EQ(std::wstring(buffer), L"abcde");
  // One character more does not fit: nothing half-written is left behind.
  EXPECT_EQ(FormatText(buffer, 6, L"%s", L"abcdef"), -1);
  EXPECT_EQ(std::wstring(buffer), L"");
  EXPECT_EQ(FormatText(buffer, 6, L"%llu", 123456ULL), -1);
  EXPECT_EQ(std::wstring(buffer), L"");
}
