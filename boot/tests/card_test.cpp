#include "card.h"

#include <gtest/gtest.h>

#include <ostream>
#include <vector>

bool operator==(const CardRect& a, const CardRect& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

std::ostream& operator<<(std::ostream& out, const CardRect& r) {
  return out << "(" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << ")";
}

namespace {

enum Fill { kBackground, kStrip, kFrame, kInner, kUpperBar, kStem, kMiddleBar, kTrack, kBar };

CardLayout Lay(int dpi, int32_t permille) {
  const CardPlacement size = PlaceCard(dpi, 4000, 3000);
  CardLayout card;
  LayoutCard(&card, size.width, size.height, dpi, permille);
  return card;
}

}  // namespace

TEST(MulDivRound, RoundsHalvesAwayFromZero) {
  // 16.25 rounds to 16; no divisor or a result beyond 32 bits gives -1.
  EXPECT_EQ((std::vector<int>{MulDivRound(5, 3, 2), MulDivRound(-5, 3, 2), MulDivRound(3, 1, -2), MulDivRound(13, 120, 96),
                              MulDivRound(1, 1, 0), MulDivRound(1 << 30, 4, 1)}),
            (std::vector<int>{8, -8, -2, 16, -1, -1}));
}

TEST(Card, WindowIsSizedAtTheSystemDpiAndCentred) {
  const CardPlacement at96 = PlaceCard(96, 1920, 1080);
  EXPECT_EQ((std::vector<int>{at96.left, at96.top, at96.width, at96.height}), (std::vector<int>{730, 445, 460, 190}));
  const CardPlacement at144 = PlaceCard(144, 1366, 768);
  EXPECT_EQ((std::vector<int>{at144.top, at144.width, at144.height}), (std::vector<int>{241, 690, 285}));  // 241.5 truncated
  EXPECT_EQ(PlaceCard(96, 301, 100).left, -79);   // toward zero on a tiny screen
  EXPECT_EQ(TitleFontHeight(96), -22);
  EXPECT_EQ(BodyFontHeight(144), -20);            // 19.5 rounded away from zero
}

TEST(Card, At96DpiMatchesTheDrawingAndFillsTheBarByProgress) {
  const CardLayout card = Lay(96, 0);
  ASSERT_EQ(card.fill_count, 8) << "progress 0 draws the track only";
  std::vector<CardRect> rects;
  for (int i = 0; i < 8; ++i) rects.push_back(card.fills[i].rect);
  rects.insert(rects.end(), {card.title, card.status, card.footer});
  EXPECT_EQ(rects, (std::vector<CardRect>{{0, 0, 460, 190}, {0, 0, 460, 3}, {28, 30, 62, 64}, {31, 33, 59, 61},
                                          {39, 38, 51, 42}, {39, 38, 43, 56}, {39, 46, 49, 50}, {28, 124, 432, 130},
                                          {76, 28, 440, 66}, {28, 92, 432, 116}, {28, 156, 432, 176}}));
  EXPECT_EQ(card.fills[kFrame].color, 0xFE2C55u);
  EXPECT_EQ(card.fills[kStem].color, 0xFFFFFFu);
  EXPECT_EQ(Lay(96, 1000).fills[kBar].rect, Lay(96, 1000).fills[kTrack].rect);
  EXPECT_EQ(Lay(96, 500).fills[kBar].rect, (CardRect{28, 124, 230, 130}));
  EXPECT_EQ(Lay(96, 2).fill_count, 8) << "404 × 2 / 1000 truncates to 0: no fill";
  EXPECT_EQ(Lay(96, 3).fills[kBar].rect.right, 29);
}

TEST(Card, ScalesEachCoordinateAndExtentOnItsOwn) {
  const CardLayout at144 = Lay(144, 0);
  EXPECT_EQ(at144.fills[kFrame].rect, (CardRect{42, 45, 93, 96}));
  EXPECT_EQ(at144.fills[kTrack].rect, (CardRect{42, 186, 648, 195}));
  // At 120 DPI the middle bar ends at S(39) + S(10) = 49 + 13, one pixel right of S(49).
  const CardLayout at120 = Lay(120, 0);
  EXPECT_EQ(at120.fills[kMiddleBar].rect, (CardRect{49, 58, 62, 63}));
}
