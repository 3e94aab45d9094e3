#include "crash/send/cursor_overlay.h"

namespace userdb::crash {

namespace {

// One channel of a premultiplied source over the destination.
uint8_t Over(uint32_t source, uint32_t destination, uint32_t alpha) {
  const uint32_t blended = source + (destination * (255 - alpha) + 127) / 255;
  return static_cast<uint8_t>(blended > 255 ? 255 : blended);
}

}  // namespace

void DrawCursor(ScreenImage& image, int left, int top, const CursorImage& cursor) {
  if (cursor.argb.size() < static_cast<size_t>(cursor.width) * cursor.height) return;
  const int origin_x = cursor.x - cursor.hot_x - left;
  const int origin_y = cursor.y - cursor.hot_y - top;
  for (int row = 0; row < cursor.height; ++row) {
    const int y = origin_y + row;
    if (y < 0 || y >= image.height) continue;
    for (int column = 0; column < cursor.width; ++column) {
      const int x = origin_x + column;
      if (x < 0 || x >= image.width) continue;
      const uint32_t source = cursor.argb[static_cast<size_t>(row) * cursor.width + column];
      const uint32_t alpha = source >> 24;
      if (alpha == 0) continue;
      uint32_t& pixel = image.At(x, y);
      pixel = PixelOf(Over(RedOf(source), RedOf(pixel), alpha),
                      Over(GreenOf(source), GreenOf(pixel), alpha),
                      Over(BlueOf(source), BlueOf(pixel), alpha));
    }
  }
}

}  // namespace userdb::crash
