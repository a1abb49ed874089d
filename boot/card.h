// Geometry and colours of the progress card at any DPI. Portable: the window code paints
// exactly what these functions lay out.
#pragma once

#include <cstdint>

constexpr int kBaseDpi = 96;
constexpr int kCardWidth = 460;   // at 96 DPI
constexpr int kCardHeight = 190;  // at 96 DPI

// Colours as 0xRRGGBB.
constexpr uint32_t kColorBackground = 0x0B0C10;
constexpr uint32_t kColorAccent = 0xFE2C55;  // top strip, mark frame, bar fill
constexpr uint32_t kColorMarkInner = 0x16171D;
constexpr uint32_t kColorMarkBars = 0xFFFFFF;
constexpr uint32_t kColorTitle = 0xECEEF3;
constexpr uint32_t kColorStatus = 0x8A8FA3;
constexpr uint32_t kColorTrack = 0x1C1E27;
constexpr uint32_t kColorFooter = 0x5B6072;

// value × numerator / denominator rounded to the nearest integer, halves away from zero;
// -1 for a zero denominator or a result outside the 32-bit range (as the system's MulDiv).
int MulDivRound(int value, int numerator, int denominator);

// A DPI of 0 (not known) counts as 96.
int EffectiveDpi(int reported);

struct CardPlacement {
  int left, top, width, height;
};

// The window's size at the system DPI, centred on a screen of the given size.
CardPlacement PlaceCard(int dpi, int screen_width, int screen_height);

// Font heights (negative: character height in pixels) of the title and body fonts.
int TitleFontHeight(int dpi);
int BodyFontHeight(int dpi);

struct CardRect {
  int left, top, right, bottom;
};

struct CardFill {
  CardRect rect;
  uint32_t color;
};

constexpr int kMaxCardFills = 9;

// Everything one paint draws, in drawing order.
struct CardLayout {
  CardFill fills[kMaxCardFills];  // background, strip, mark (4), track, then the bar fill if any
  int fill_count;
  CardRect title;   // "Quorlin", single line, centred vertically
  CardRect status;  // status text, single line, ends in an ellipsis when too wide
  CardRect footer;  // footer line
};

// Lays out a client area of `width` × `height` pixels at `dpi` showing `permille` progress.
// Every coordinate and extent is scaled on its own: a right edge is S(left) + S(width).
void LayoutCard(CardLayout* layout, int width, int height, int dpi, int32_t permille);
