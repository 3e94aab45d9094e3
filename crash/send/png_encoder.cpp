#include "crash/send/png_encoder.h"

#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <string_view>
#include <vector>

#include "crash/send/colour_palette.h"

namespace userdb::crash {

namespace {

constexpr std::string_view kSignature = "\x89PNG\r\n\x1A\n";
constexpr uint8_t kPaletteColourType = 3;
// PNG limits width and height to 2^31 - 1; a row of the 8-bit form is one byte more than
// its width, and zlib's one-call interface counts in unsigned long.
constexpr int64_t kMaxPixels = int64_t{1} << 30;

void AppendBigEndian(std::string& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>(value >> shift);
}

void AppendChunk(std::string& png, std::string_view type, std::string_view data) {
  AppendBigEndian(png, static_cast<uint32_t>(data.size()));
  const size_t type_start = png.size();
  png += type;
  png += data;
  const auto* checked = reinterpret_cast<const Bytef*>(png.data() + type_start);
  AppendBigEndian(png, static_cast<uint32_t>(crc32(0, checked, type.size() + data.size())));
}

std::string HeaderChunkData(const ScreenImage& image, uint8_t bit_depth) {
  std::string data;
  AppendBigEndian(data, static_cast<uint32_t>(image.width));
  AppendBigEndian(data, static_cast<uint32_t>(image.height));
  data += static_cast<char>(bit_depth);
  data += static_cast<char>(kPaletteColourType);
  data += std::string(3, '\0');  // deflate compression, adaptive filtering, no interlace
  return data;
}

std::optional<std::string> Compressed(const std::string& rows) {
  uLongf size = compressBound(rows.size());
  std::string compressed(size, '\0');
  if (compress2(reinterpret_cast<Bytef*>(compressed.data()), &size,
                reinterpret_cast<const Bytef*>(rows.data()), rows.size(),
                Z_DEFAULT_COMPRESSION) != Z_OK) {
    return std::nullopt;
  }
  compressed.resize(size);
  return compressed;
}

// `rows`: the image data, each row led by its filter byte.
std::optional<std::string> PaletteFile(const ScreenImage& image, uint8_t bit_depth,
                                       const std::string& palette, const std::string& rows) {
  const std::optional<std::string> data = Compressed(rows);
  if (!data) return std::nullopt;
  std::string png(kSignature);
  AppendChunk(png, "IHDR", HeaderChunkData(image, bit_depth));
  AppendChunk(png, "PLTE", palette);
  AppendChunk(png, "IDAT", *data);
  AppendChunk(png, "IEND", "");
  return png;
}

std::string PaletteChunkData(const std::vector<uint32_t>& colours) {
  std::string data;
  for (const uint32_t colour : colours) {
    data += static_cast<char>(RedOf(colour));
    data += static_cast<char>(GreenOf(colour));
    data += static_cast<char>(BlueOf(colour));
  }
  return data;
}

std::optional<std::string> ColourPng(const ScreenImage& image) {
  const std::vector<uint32_t> palette = ImagePalette(image.pixels);
  PaletteMapper mapper(palette);
  std::string rows;
  rows.reserve(static_cast<size_t>(image.width + 1) * image.height);
  for (int y = 0; y < image.height; ++y) {
    rows += '\0';
    for (int x = 0; x < image.width; ++x) rows += static_cast<char>(mapper.IndexOf(image.At(x, y)));
  }
  return PaletteFile(image, 8, PaletteChunkData(palette), rows);
}

std::optional<std::string> GreyPng(const ScreenImage& image) {
  std::string palette;
  for (const uint8_t level : kGreyLevels) palette += std::string(3, static_cast<char>(level));
  std::string rows;
  rows.reserve(static_cast<size_t>((image.width + 1) / 2 + 1) * image.height);
  for (int y = 0; y < image.height; ++y) {
    rows += '\0';
    for (int x = 0; x < image.width; x += 2) {
      const int left = GreyLevelOf(image.At(x, y));
      const int right = x + 1 < image.width ? GreyLevelOf(image.At(x + 1, y)) : 0;
      rows += static_cast<char>(left << 4 | right);
    }
  }
  return PaletteFile(image, 4, palette, rows);
}

// Formats 2 to 5: the "ScrShotDepth" value that chooses each is also the largest 8-bit file
// it keeps without trying the grey form.
struct SizeLimitedForm {
  int format;
  int32_t limit;
};
constexpr SizeLimitedForm kSizeLimitedForms[] = {{2, 51200}, {3, 102400}, {4, 204800}, {5, 307200}};

constexpr int32_t kGreyDepth = 4;

}  // namespace

int PngFormatForDepth(int32_t depth) {
  if (depth == kGreyDepth) return 1;
  for (const SizeLimitedForm& form : kSizeLimitedForms) {
    if (form.limit == depth) return form.format;
  }
  return 0;
}

int GreyLevelOf(uint32_t pixel) {
  const int luminance = (77 * RedOf(pixel) + 151 * GreenOf(pixel) + 28 * BlueOf(pixel)) / 256;
  int nearest = 0;
  for (int level = 1; level < static_cast<int>(kGreyLevels.size()); ++level) {
    if (std::abs(kGreyLevels[level] - luminance) < std::abs(kGreyLevels[nearest] - luminance)) {
      nearest = level;
    }
  }
  return nearest;
}

std::optional<std::string> EncodePng(const ScreenImage& image, int format) {
  if (image.width <= 0 || image.height <= 0 ||
      static_cast<int64_t>(image.width) * image.height > kMaxPixels ||
      image.pixels.size() != static_cast<size_t>(image.width) * image.height) {
    return std::nullopt;
  }
  if (format == 1) return GreyPng(image);
  std::optional<std::string> colour = ColourPng(image);
  const auto form =
      std::find_if(std::begin(kSizeLimitedForms), std::end(kSizeLimitedForms),
                   [&](const SizeLimitedForm& each) { return each.format == format; });
  if (!colour || form == std::end(kSizeLimitedForms) ||
      colour->size() <= static_cast<size_t>(form->limit)) {
    return colour;
  }
  std::optional<std::string> grey = GreyPng(image);
  if (grey && grey->size() < colour->size()) return grey;
  return colour;
}

}  // namespace userdb::crash
