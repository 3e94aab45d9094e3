// The pixels of an X server's image (GetImage in ZPixmap format) turned into a screenshot's.
#pragma once

#include <cstddef>
#include <cstdint>

#include "crash/send/screen_image.h"

namespace userdb::crash {

// How the server lays out the pixels of the screen's depth.
struct XPixelFormat {
  int bits_per_pixel = 32;              // 16, 24 or 32 are taken
  int scanline_pad = 32;                // each row is padded to a multiple of this many bits
  bool most_significant_first = false;  // the server's image byte order
  uint32_t red_mask = 0x00FF0000;       // of the screen's visual
  uint32_t green_mask = 0x0000FF00;
  uint32_t blue_mask = 0x000000FF;

  bool IsSupported() const;
  size_t RowBytes(int width) const;
};

// Copies a `width` × `height` image of the server (`data`, `size` bytes) into `image` with
// its top left pixel at (`x`, `y`), which the caller keeps inside `image`. False, and
// nothing copied, when `size` is too small for the format.
bool CopyXImage(const uint8_t* data, size_t size, int width, int height, const XPixelFormat& format,
                ScreenImage& image, int x, int y);

}  // namespace userdb::crash
