#include "card.h"

int MulDivRound(int value, int numerator, int denominator) {
  if (denominator == 0) return -1;
  int64_t product = static_cast<int64_t>(value) * numerator;
  int64_t divisor = denominator;
  if (divisor < 0) {
    product = -product;
    divisor = -divisor;
  }
  int64_t result = product < 0 ? (product - divisor / 2) / divisor : (product + divisor / 2) / divisor;
  if (result > 2147483647 || result < -2147483647) return -1;
  return static_cast<int>(result);
}

int EffectiveDpi(int reported) { return reported == 0 ? kBaseDpi : reported; }

CardPlacement PlaceCard(int dpi, int screen_width, int screen_height) {
  CardPlacement p;
  p.width = MulDivRound(kCardWidth, dpi, kBaseDpi);
  p.height = MulDivRound(kCardHeight, dpi, kBaseDpi);
  p.left = (screen_width - p.width) / 2;
  p.top = (screen_height - p.height) / 2;
  return p;
}

int TitleFontHeight(int dpi) { return -MulDivRound(22, dpi, kBaseDpi); }

int BodyFontHeight(int dpi) { return -MulDivRound(13, dpi, kBaseDpi); }

namespace {

struct Scaler {
  int dpi;
  int operator()(int v) const { return MulDivRound(v, dpi, kBaseDpi); }
};

// A box given by its 96-DPI origin and extent, each scaled on its own.
CardRect Box(const Scaler& s, int left, int top, int width, int height) {
  return CardRect{s(left), s(top), s(left) + s(width), s(top) + s(height)};
}

}  // namespace

void LayoutCard(CardLayout* layout, int width, int height, int dpi, int32_t permille) {
  const Scaler s{dpi};
  int n = 0;
  layout->fills[n++] = {{0, 0, width, height}, kColorBackground};
  layout->fills[n++] = {{0, 0, width, s(3)}, kColorAccent};
  layout->fills[n++] = {Box(s, 28, 30, 34, 34), kColorAccent};
  layout->fills[n++] = {Box(s, 31, 33, 28, 28), kColorMarkInner};
  layout->fills[n++] = {Box(s, 39, 38, 12, 4), kColorMarkBars};
  layout->fills[n++] = {Box(s, 39, 38, 4, 18), kColorMarkBars};
  layout->fills[n++] = {Box(s, 39, 46, 10, 4), kColorMarkBars};

  const int x = s(28);
  const int y = s(124);
  const int bar = width - s(56);
  const int h = s(6);
  layout->fills[n++] = {{x, y, x + bar, y + h}, kColorTrack};
  const int64_t fill = static_cast<int64_t>(bar) * permille / 1000;
  if (fill > 0) layout->fills[n++] = {{x, y, x + static_cast<int>(fill), y + h}, kColorAccent};
  layout->fill_count = n;

  layout->title = {s(76), s(28), width - s(20), s(66)};
  layout->status = {s(28), s(92), width - s(28), s(116)};
  layout->footer = {s(28), height - s(34), width - s(28), height - s(14)};
}
