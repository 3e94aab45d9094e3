#include "crash/send/bitmap_file.h"

#include <cstdint>
#include <cstdlib>

#include "platform/whole_file.h"

namespace userdb::crash {

namespace {

constexpr size_t kFileHeaderSize = 14;
constexpr uint32_t kInfoHeaderSize = 40;
constexpr uint32_t kNoCompression = 0;
constexpr uint32_t kBitFields = 3;
constexpr int32_t kPixelsPerMetre = 3780;  // 96 dots per inch
// A bound far beyond any screen, so that a damaged header asks for no absurd memory.
constexpr int64_t kMaxPixels = int64_t{1} << 26;
constexpr int64_t kMaxSide = 1 << 16;
constexpr size_t kMaxFileSize = kFileHeaderSize + 124 + 12 + 4 * static_cast<size_t>(kMaxPixels);

void AppendLittleEndian(std::string& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out += static_cast<char>(value >> (8 * i));
}

uint32_t ReadLittleEndian(std::string_view bytes, size_t offset, int count) {
  uint32_t value = 0;
  for (int i = count - 1; i >= 0; --i) {
    value = value << 8 | static_cast<uint8_t>(bytes[offset + static_cast<size_t>(i)]);
  }
  return value;
}

bool IsKnownInfoHeaderSize(uint32_t size) {
  return size == 40 || size == 52 || size == 56 || size == 108 || size == 124;
}

// Bit fields of a 32-bit file: only red, green and blue in the places of an uncompressed one.
bool HasUsualBitFields(std::string_view bytes, size_t masks_offset) {
  if (masks_offset + 12 > bytes.size()) return false;
  return ReadLittleEndian(bytes, masks_offset, 4) == 0x00FF0000 &&
         ReadLittleEndian(bytes, masks_offset + 4, 4) == 0x0000FF00 &&
         ReadLittleEndian(bytes, masks_offset + 8, 4) == 0x000000FF;
}

}  // namespace

std::string EncodeBitmap(const ScreenImage& image) {
  if (image.width <= 0 || image.height <= 0 ||
      static_cast<int64_t>(image.width) * image.height > kMaxPixels) {
    return {};
  }
  const uint32_t pixel_bytes = static_cast<uint32_t>(image.pixels.size() * 4);
  const uint32_t data_offset = kFileHeaderSize + kInfoHeaderSize;
  std::string file = "BM";
  AppendLittleEndian(file, data_offset + pixel_bytes, 4);
  AppendLittleEndian(file, 0, 4);  // reserved
  AppendLittleEndian(file, data_offset, 4);
  AppendLittleEndian(file, kInfoHeaderSize, 4);
  AppendLittleEndian(file, static_cast<uint32_t>(image.width), 4);
  AppendLittleEndian(file, static_cast<uint32_t>(image.height), 4);  // positive: bottom-up
  AppendLittleEndian(file, 1, 2);                                    // planes
  AppendLittleEndian(file, 32, 2);                                   // bits a pixel
  AppendLittleEndian(file, kNoCompression, 4);
  AppendLittleEndian(file, pixel_bytes, 4);
  AppendLittleEndian(file, kPixelsPerMetre, 4);
  AppendLittleEndian(file, kPixelsPerMetre, 4);
  AppendLittleEndian(file, 0, 4);  // colours used
  AppendLittleEndian(file, 0, 4);  // important colours
  file.reserve(file.size() + pixel_bytes);
  for (int y = image.height - 1; y >= 0; --y) {
    for (int x = 0; x < image.width; ++x) AppendLittleEndian(file, image.At(x, y) & 0xFFFFFF, 4);
  }
  return file;
}

std::optional<ScreenImage> DecodeBitmap(std::string_view bytes) {
  if (bytes.size() < kFileHeaderSize + kInfoHeaderSize || bytes.substr(0, 2) != "BM") {
    return std::nullopt;
  }
  const uint32_t data_offset = ReadLittleEndian(bytes, 10, 4);
  const uint32_t header_size = ReadLittleEndian(bytes, 14, 4);
  if (!IsKnownInfoHeaderSize(header_size) || kFileHeaderSize + header_size > bytes.size()) {
    return std::nullopt;
  }
  const int64_t width = static_cast<int32_t>(ReadLittleEndian(bytes, 18, 4));
  const int64_t signed_height = static_cast<int32_t>(ReadLittleEndian(bytes, 22, 4));
  const uint32_t planes = ReadLittleEndian(bytes, 26, 2);
  const uint32_t bits = ReadLittleEndian(bytes, 28, 2);
  const uint32_t compression = ReadLittleEndian(bytes, 30, 4);
  const int64_t height = std::abs(signed_height);
  if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide ||
      width * height > kMaxPixels || planes != 1) {
    return std::nullopt;
  }
  // The masks of bit fields follow a 40-byte header and lie inside the longer ones.
  const size_t masks_offset = kFileHeaderSize + kInfoHeaderSize;
  const bool supported =
      (bits == 24 && compression == kNoCompression) ||
      (bits == 32 && (compression == kNoCompression ||
                      (compression == kBitFields && HasUsualBitFields(bytes, masks_offset))));
  if (!supported) return std::nullopt;

  const size_t bytes_per_pixel = bits / 8;
  const size_t stride = (static_cast<size_t>(width) * bytes_per_pixel + 3) / 4 * 4;
  const size_t minimal_offset =
      kFileHeaderSize + header_size + (compression == kBitFields && header_size == 40 ? 12 : 0);
  if (data_offset < minimal_offset || data_offset > bytes.size() ||
      (bytes.size() - data_offset) / stride < static_cast<size_t>(height)) {
    return std::nullopt;
  }
  const bool bottom_up = signed_height > 0;
  ScreenImage image(static_cast<int>(width), static_cast<int>(height));
  for (int y = 0; y < image.height; ++y) {
    const int file_row = bottom_up ? image.height - 1 - y : y;
    const size_t row_start = data_offset + static_cast<size_t>(file_row) * stride;
    for (int x = 0; x < image.width; ++x) {
      const size_t at = row_start + static_cast<size_t>(x) * bytes_per_pixel;
      image.At(x, y) = ReadLittleEndian(bytes, at, 3);
    }
  }
  return image;
}

void WriteBitmapFile(const std::string& path, const ScreenImage& image) {
  platform::WriteWholeFile(path, EncodeBitmap(image));
}

std::optional<ScreenImage> ReadBitmapFile(const std::string& path) {
  const std::optional<std::string> bytes = platform::ReadRegularFile(path, kMaxFileSize);
  if (!bytes) return std::nullopt;
  return DecodeBitmap(*bytes);
}

}  // namespace userdb::crash
