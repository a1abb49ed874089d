#include "previous_app.h"

#include <gtest/gtest.h>

#include <string>

TEST(PreviousApp, ReadsTheStartCountAndTakesAnythingElseAsZero) {
  const struct {
    std::string bytes;
    unsigned starts;
  } rows[] = {
      {"0", 0}, {"1", 1}, {"2", 2}, {"1\r\n", 1}, {" 2 ", 2}, {"007", 7},  // a script's line break
      {"", 0}, {"x", 0}, {"1x", 0}, {"-1", 0}, {"1 2", 0}, {"\r\n", 0}, {std::string("1\0", 2), 0},
      {"99999999999999", 1000000},  // too long to hold: large, never wrapped to a small count
  };
  for (const auto& row : rows) {
    EXPECT_EQ(ParseStartCount(row.bytes.data(), row.bytes.size()), row.starts) << '"' << row.bytes << '"';
  }
}

TEST(PreviousApp, ComesBackAfterTwoStartsWithoutAWindow) {
  const struct {
    bool kept_app_has_main_js;
    unsigned starts;
    PreviousAppAction action;
  } rows[] = {
      {true, 0, PreviousAppAction::kCount},   // promoted by this start
      {true, 1, PreviousAppAction::kCount},   // started once, by the swap or by the last start
      {true, 2, PreviousAppAction::kRestore},
      {true, 1000000, PreviousAppAction::kRestore},
      {false, 0, PreviousAppAction::kNone},   // the window showed: nothing kept
      {false, 2, PreviousAppAction::kNone},   // nothing to come back to
  };
  for (const auto& row : rows) {
    EXPECT_EQ(DecidePreviousApp(row.kept_app_has_main_js, row.starts), row.action)
        << row.kept_app_has_main_js << " " << row.starts;
  }
}
