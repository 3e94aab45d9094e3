// The crash reporter's screenshot: an image of 32-bit pixels.
//
// Layout: `width` × `height` pixels, rows from the top of the screen to the bottom, each
// pixel one uint32_t 0x00RRGGBB; the top byte carries no colour and is 0. In memory, on
// this little-endian platform, a pixel's bytes are blue, green, red and 0, the order of a
// 32-bit bitmap file's pixels (whose rows, unlike these, run bottom-up).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace userdb::crash {

inline constexpr uint32_t kWhitePixel = 0x00FFFFFF;

constexpr uint32_t PixelOf(uint8_t red, uint8_t green, uint8_t blue) {
  return (uint32_t{red} << 16) | (uint32_t{green} << 8) | blue;
}
constexpr uint8_t RedOf(uint32_t pixel) {
  return static_cast<uint8_t>(pixel >> 16);
}
constexpr uint8_t GreenOf(uint32_t pixel) {
  return static_cast<uint8_t>(pixel >> 8);
}
constexpr uint8_t BlueOf(uint32_t pixel) {
  return static_cast<uint8_t>(pixel);
}

struct ScreenImage {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;  // width * height, row after row

  ScreenImage() = default;
  ScreenImage(int image_width, int image_height, uint32_t fill = kWhitePixel)
      : width(image_width),
        height(image_height),
        pixels(static_cast<size_t>(image_width) * static_cast<size_t>(image_height), fill) {}

  uint32_t& At(int x, int y) { return pixels[static_cast<size_t>(y) * width + x]; }
  uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }

  friend bool operator==(const ScreenImage&, const ScreenImage&) = default;
};

}  // namespace userdb::crash
