// The mouse cursor in the screenshot: its hot spot on the pointer, blended by its alpha,
// cut at the image's edges.
#include "crash/send/cursor_overlay.h"

#include <gtest/gtest.h>

namespace userdb::crash {

namespace {

constexpr uint32_t kBackground = 0x00204060;

// A 3 × 2 cursor: opaque black, half transparent white (premultiplied), transparent.
CursorImage SmallCursor(int x, int y) {
  CursorImage cursor;
  cursor.x = x;
  cursor.y = y;
  cursor.hot_x = 1;
  cursor.hot_y = 1;
  cursor.width = 3;
  cursor.height = 2;
  cursor.argb = {0xFF000000, 0x80808080, 0x00000000, 0xFF000000, 0x80808080, 0x00000000};
  return cursor;
}

TEST(CursorOverlayTest, PutsTheHotSpotOnThePointer) {
  ScreenImage image(10, 10, kBackground);
  // The image shows the screen from (100, 200); the pointer is at (105, 204).
  DrawCursor(image, 100, 200, SmallCursor(105, 204));
  EXPECT_EQ(image.At(4, 3), 0x00000000u);  // cursor pixel (0, 0)
  EXPECT_EQ(image.At(4, 4), 0x00000000u);
  EXPECT_EQ(image.At(6, 3), kBackground);  // transparent
  EXPECT_EQ(image.At(3, 3), kBackground);
  EXPECT_EQ(image.At(4, 5), kBackground);
}

TEST(CursorOverlayTest, BlendsByAlphaOverTheScreen) {
  ScreenImage image(10, 10, kBackground);
  DrawCursor(image, 0, 0, SmallCursor(5, 5));
  // 0x80 + channel * (255 - 128) / 255, rounded.
  const auto blended = [](int channel) { return 0x80 + (channel * 127 + 127) / 255; };
  EXPECT_EQ(image.At(5, 4), PixelOf(blended(0x20), blended(0x40), blended(0x60)));
}

TEST(CursorOverlayTest, LeavesOutWhatFallsOutsideTheImage) {
  ScreenImage image(2, 2, kBackground);
  DrawCursor(image, 0, 0, SmallCursor(0, 0));  // its top left row and column lie outside
  const ScreenImage untouched(2, 2, kBackground);
  ScreenImage only_its_centre = untouched;
  DrawCursor(only_its_centre, 0, 0, SmallCursor(1, 1));  // the same pixel, fully inside
  EXPECT_EQ(image.At(0, 0), only_its_centre.At(1, 1));   // cursor pixel (1, 1): half white
  EXPECT_NE(image.At(0, 0), kBackground);
  EXPECT_EQ(image.At(1, 0), kBackground);
  EXPECT_EQ(image.At(0, 1), kBackground);
  ScreenImage far(2, 2, kBackground);
  DrawCursor(far, 0, 0, SmallCursor(-50, 40));
  EXPECT_EQ(far, ScreenImage(2, 2, kBackground));
}

TEST(CursorOverlayTest, IgnoresACursorWithTooFewPixels) {
  ScreenImage image(4, 4, kBackground);
  CursorImage cursor = SmallCursor(1, 1);
  cursor.argb.pop_back();
  DrawCursor(image, 0, 0, cursor);
  EXPECT_EQ(image, ScreenImage(4, 4, kBackground));
}

}  // namespace

}  // namespace userdb::crash
