// The mouse cursor drawn into a screenshot, as the X server's cursor extension hands it
// out: 32-bit ARGB pixels with the colours premultiplied by alpha.
#pragma once

#include <cstdint>
#include <vector>

#include "crash/send/screen_image.h"

namespace userdb::crash {

struct CursorImage {
  int x = 0;  // the pointer's position on the screen: where the hot spot lies
  int y = 0;
  int hot_x = 0;  // the hot spot within the cursor's picture
  int hot_y = 0;
  int width = 0;
  int height = 0;
  std::vector<uint32_t> argb;  // width * height, rows from the top
};

// Blends the cursor over `image`, whose top left pixel shows the screen at (`left`, `top`),
// with its hot spot on the pointer's position; what falls outside the image is left out.
void DrawCursor(ScreenImage& image, int left, int top, const CursorImage& cursor);

}  // namespace userdb::crash
