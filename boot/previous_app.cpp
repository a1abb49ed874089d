#include "previous_app.h"

namespace {

constexpr unsigned kFailedStarts = 2;  // starts without a window after which the update counts as failed
constexpr unsigned kLargeCount = 1000000;

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

unsigned ParseStartCount(const char* bytes, size_t count) {
  size_t i = 0;
  while (i < count && IsSpace(bytes[i])) ++i;
  const size_t digits_from = i;
  unsigned n = 0;
  for (; i < count && bytes[i] >= '0' && bytes[i] <= '9'; ++i) {
    n = n >= kLargeCount ? kLargeCount : n * 10 + static_cast<unsigned>(bytes[i] - '0');
  }
  if (i == digits_from) return 0;
  while (i < count && IsSpace(bytes[i])) ++i;
  return i == count ? n : 0;
}

PreviousAppAction DecidePreviousApp(bool kept_app_has_main_js, unsigned starts) {
  if (!kept_app_has_main_js) return PreviousAppAction::kNone;
  return starts >= kFailedStarts ? PreviousAppAction::kRestore : PreviousAppAction::kCount;
}
