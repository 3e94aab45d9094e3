// The region of a screenshot of the own windows: each own window less what lies above it,
// clipped to the screen, within the own windows' bounding rectangle.
#include "crash/send/screen_region.h"

#include <gtest/gtest.h>

namespace userdb::crash {

namespace {

constexpr ScreenRect kScreen{0, 0, 1280, 1024};

// The area of the region, counted by pixel, and whether its parts overlap.
int64_t Area(const CaptureRegion& region) {
  int64_t area = 0;
  for (const CapturedPart& part : region.parts) {
    area += static_cast<int64_t>(part.rect.width) * part.rect.height;
  }
  return area;
}

bool Covers(const CaptureRegion& region, int x, int y) {
  for (const CapturedPart& part : region.parts) {
    if (x >= part.rect.x && x < part.rect.Right() && y >= part.rect.y && y < part.rect.Bottom()) {
      return true;
    }
  }
  return false;
}

TEST(SubtractTest, LeavesUpToFourPieces) {
  const ScreenRect from{0, 0, 10, 10};
  EXPECT_EQ(Subtract(from, {20, 20, 5, 5}), std::vector<ScreenRect>{from});
  EXPECT_TRUE(Subtract(from, {-1, -1, 12, 12}).empty());
  EXPECT_EQ(Subtract(from, {3, 3, 4, 4}).size(), 4u);
  EXPECT_EQ(Subtract(from, {5, -5, 20, 20}), std::vector<ScreenRect>({{0, 0, 5, 10}}));
  EXPECT_EQ(Subtract(from, {0, 0, 10, 4}), std::vector<ScreenRect>({{0, 4, 10, 6}}));
  EXPECT_TRUE(Subtract({}, {0, 0, 1, 1}).empty());
}

TEST(OwnWindowsRegionTest, TakesEachOwnWindowLessTheWindowsAboveIt) {
  // Own A, foreign B above A's right half, own C above both, foreign D below everything.
  const std::vector<StackedWindow> windows = {
      {{0, 0, 2000, 2000}, false},    // D: a desktop window below
      {{100, 100, 200, 100}, true},   // A
      {{200, 100, 200, 100}, false},  // B
      {{350, 150, 100, 100}, true},   // C
  };
  const auto region = OwnWindowsRegion(windows, kScreen);
  ASSERT_TRUE(region);
  EXPECT_EQ(region->bounds, (ScreenRect{100, 100, 350, 150}));
  EXPECT_TRUE(Covers(*region, 150, 150));   // A
  EXPECT_FALSE(Covers(*region, 250, 150));  // A under B
  EXPECT_FALSE(Covers(*region, 320, 120));  // B alone
  EXPECT_TRUE(Covers(*region, 360, 160));   // C above B
  EXPECT_FALSE(Covers(*region, 120, 220));  // inside the bounds, no window of its own
  EXPECT_EQ(Area(*region), 100 * 100 + 100 * 100);
  for (const CapturedPart& part : region->parts) {
    EXPECT_EQ(part.window, part.rect.x < 200 ? 1u : 3u);
  }
}

TEST(OwnWindowsRegionTest, AnOwnWindowAboveAnotherHidesItsPartOnce) {
  const std::vector<StackedWindow> windows = {{{0, 0, 100, 100}, true}, {{50, 50, 100, 100}, true}};
  const auto region = OwnWindowsRegion(windows, kScreen);
  ASSERT_TRUE(region);
  EXPECT_EQ(Area(*region), 100 * 100 * 2 - 50 * 50);  // disjoint parts
  EXPECT_EQ(region->bounds, (ScreenRect{0, 0, 150, 150}));
}

TEST(OwnWindowsRegionTest, IsClippedToTheScreen) {
  const auto region = OwnWindowsRegion({{{1200, -50, 200, 100}, true}}, kScreen);
  ASSERT_TRUE(region);
  EXPECT_EQ(region->bounds, (ScreenRect{1200, 0, 80, 50}));
}

TEST(OwnWindowsRegionTest, KeepsACoveredOwnWindowInTheBounds) {
  const std::vector<StackedWindow> windows = {
      {{0, 0, 100, 100}, true}, {{500, 500, 50, 50}, true}, {{490, 490, 100, 100}, false}};
  const auto region = OwnWindowsRegion(windows, kScreen);
  ASSERT_TRUE(region);
  EXPECT_EQ(region->bounds, (ScreenRect{0, 0, 550, 550}));
  EXPECT_EQ(Area(*region), 100 * 100);
}

TEST(OwnWindowsRegionTest, GivesNoneWithoutAVisibleOwnWindow) {
  EXPECT_FALSE(OwnWindowsRegion({}, kScreen));
  EXPECT_FALSE(OwnWindowsRegion({{{0, 0, 100, 100}, false}}, kScreen));
  EXPECT_FALSE(OwnWindowsRegion({{{10, 10, 50, 50}, true}, {{0, 0, 100, 100}, false}}, kScreen));
  EXPECT_FALSE(OwnWindowsRegion({{{2000, 2000, 50, 50}, true}}, kScreen));
}

}  // namespace

}  // namespace userdb::crash
