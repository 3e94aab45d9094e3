// Images for the tests of the screenshot's files: plain windows, gradients, noise.
#pragma once

#include <algorithm>
#include <cstdint>
#include <random>

#include "crash/send/screen_image.h"

namespace userdb::test_support {

// A few flat colours, as a screenshot of plain windows holds.
inline crash::ScreenImage FlatColourImage(int width, int height) {
  crash::ScreenImage image(width, height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      image.At(x, y) = x < width / 3      ? crash::PixelOf(0xD4, 0xD0, 0xC8)
                       : y < height / 2   ? crash::PixelOf(0x0A, 0x24, 0x6A)
                       : (x + y) % 7 == 0 ? crash::PixelOf(0, 0, 0)
                                          : crash::kWhitePixel;
    }
  }
  return image;
}

// Smooth colour gradients over the whole image with a little noise, as a photo has: far
// more than 256 colours.
inline crash::ScreenImage PhotoLikeImage(int width, int height, uint32_t seed = 7) {
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> noise(-6, 6);
  const auto level = [&](int value) {
    return static_cast<uint8_t>(std::clamp(value + noise(random), 0, 255));
  };
  crash::ScreenImage image(width, height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      image.At(x, y) = crash::PixelOf(level(255 * x / width), level(255 * y / height),
                                      level(128 + 127 * ((x + y) % 97) / 97 - 64));
    }
  }
  return image;
}

// Every pixel a random colour: what compresses worst.
inline crash::ScreenImage NoiseImage(int width, int height, uint32_t seed = 11) {
  std::mt19937 random(seed);
  crash::ScreenImage image(width, height);
  for (uint32_t& pixel : image.pixels) pixel = random() & 0x00FFFFFF;
  return image;
}

}  // namespace userdb::test_support
