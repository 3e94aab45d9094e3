#include "crash/send/x_pixel_format.h"

#include <bit>

namespace userdb::crash {

namespace {

// The channel of `mask` scaled to 8 bits.
uint8_t Channel(uint32_t value, uint32_t mask) {
  if (mask == 0) return 0;
  const int shift = std::countr_zero(mask);
  const int bits = std::popcount(mask);
  const uint32_t level = (value & mask) >> shift;
  const uint32_t maximum = (bits >= 32 ? 0xFFFFFFFFu : (1u << bits) - 1);
  return static_cast<uint8_t>((level * 255 + maximum / 2) / maximum);
}

uint32_t ReadPixelValue(const uint8_t* at, int bytes, bool most_significant_first) {
  uint32_t value = 0;
  for (int i = 0; i < bytes; ++i) {
    const int byte = most_significant_first ? i : bytes - 1 - i;
    value = value << 8 | at[byte];
  }
  return value;
}

}  // namespace

bool XPixelFormat::IsSupported() const {
  return (bits_per_pixel == 16 || bits_per_pixel == 24 || bits_per_pixel == 32) &&
         scanline_pad >= 8 && scanline_pad % 8 == 0 && red_mask != 0 && green_mask != 0 &&
         blue_mask != 0;
}

size_t XPixelFormat::RowBytes(int width) const {
  const size_t bits = static_cast<size_t>(width) * bits_per_pixel;
  const size_t pad = static_cast<size_t>(scanline_pad);
  return (bits + pad - 1) / pad * pad / 8;
}

bool CopyXImage(const uint8_t* data, size_t size, int width, int height, const XPixelFormat& format,
                ScreenImage& image, int x, int y) {
  if (!format.IsSupported() || width <= 0 || height <= 0) return false;
  const size_t row_bytes = format.RowBytes(width);
  if (size / row_bytes < static_cast<size_t>(height)) return false;
  const int bytes = format.bits_per_pixel / 8;
  const bool plain = bytes == 4 && !format.most_significant_first &&
                     format.red_mask == 0x00FF0000 && format.green_mask == 0x0000FF00 &&
                     format.blue_mask == 0x000000FF;
  for (int row = 0; row < height; ++row) {
    const uint8_t* source = data + static_cast<size_t>(row) * row_bytes;
    uint32_t* target = &image.At(x, y + row);
    for (int column = 0; column < width; ++column, source += bytes) {
      const uint32_t value = ReadPixelValue(source, bytes, format.most_significant_first);
      target[column] =
          plain ? (value & 0x00FFFFFF)
                : PixelOf(Channel(value, format.red_mask), Channel(value, format.green_mask),
                          Channel(value, format.blue_mask));
    }
  }
  return true;
}

}  // namespace userdb::crash
