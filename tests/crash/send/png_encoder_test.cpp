// The screenshot's PNG forms: read back by Qt's image reader and checked by pngcheck; the
// palette form keeps images of few colours exactly and maps the others to the nearest
// entry of a good palette; the grey form uses the 16 levels; formats 2 to 5 fall back to
// grey by the size of the colour form.
#include "crash/send/png_encoder.h"

#include <QImage>

#include <algorithm>
#include <cmath>
#include <functional>
#include <random>

#include <gtest/gtest.h>

#include "crash/send/colour_palette.h"
#include "crash/send/wu_quantizer.h"
#include "tests/crash/send/test_images.h"
#include "tests/support/run_program.h"
#include "tests/support/temp_folder.h"

namespace userdb::crash {

namespace {

using test_support::FlatColourImage;
using test_support::NoiseImage;
using test_support::PhotoLikeImage;

QImage Decoded(const std::string& png) {
  QImage image;
  image.loadFromData(reinterpret_cast<const uchar*>(png.data()), static_cast<int>(png.size()),
                     "PNG");
  return image;
}

uint32_t DecodedPixel(const QImage& image, int x, int y) {
  return image.pixel(x, y) & 0x00FFFFFF;
}

int BitDepth(const std::string& png) {
  return static_cast<uint8_t>(png[24]);
}
int ColourType(const std::string& png) {
  return static_cast<uint8_t>(png[25]);
}

double Distance(uint32_t a, uint32_t b) {
  const double red = RedOf(a) - RedOf(b), green = GreenOf(a) - GreenOf(b),
               blue = BlueOf(a) - BlueOf(b);
  return std::sqrt(red * red + green * green + blue * blue);
}

// pngcheck's verdict on the file: its exit status and what it printed.
test_support::ProgramResult PngCheck(const std::string& png) {
  test_support::TempFolder folder;
  const std::string path = folder / "shot.png";
  test_support::WriteFile(path, png);
  return test_support::RunProgram({"/usr/bin/pngcheck", "-v", path});
}

TEST(PngFormatTest, FollowsTheScreenshotDepth) {
  const std::pair<int32_t, int> cases[] = {{8, 0},      {0, 0},      {4, 1},      {51200, 2},
                                           {102400, 3}, {204800, 4}, {307200, 5}, {24, 0},
                                           {51201, 0},  {-4, 0}};
  for (const auto& [depth, format] : cases) {
    EXPECT_EQ(PngFormatForDepth(depth), format) << "depth " << depth;
  }
}

TEST(GreyLevelTest, TakesTheNearestOfTheSixteenLevelsOfTheLuminance) {
  struct Case {
    uint32_t pixel;
    int level;
  };
  const Case cases[] = {
      {PixelOf(0, 0, 0), 0},      {PixelOf(255, 255, 255), 15},
      {PixelOf(14, 14, 14), 0},    // luminance 13: nearer 0 than 28
      {PixelOf(15, 15, 15), 1},    // 14: halfway goes to the lower level
      {PixelOf(16, 16, 16), 1},    // 15
      {PixelOf(255, 0, 0), 3},     // 76: nearest 73
      {PixelOf(0, 255, 0), 8},     // 150 lies between 140 and 155: 155 is nearer
      {PixelOf(0, 0, 255), 1},     // 27
      {PixelOf(128, 128, 128), 6}  // 128: nearest 125
  };
  for (const Case& c : cases) {
    const int luminance =
        (77 * RedOf(c.pixel) + 151 * GreenOf(c.pixel) + 28 * BlueOf(c.pixel)) / 256;
    EXPECT_EQ(GreyLevelOf(c.pixel), c.level) << "luminance " << luminance;
  }
}

// Checks the PNG's header, then reads it with Qt's image reader and compares each pixel with
// what the form makes of the original's.
void ExpectDecodesAs(const std::string& png, const ScreenImage& image, int bit_depth,
                     const std::function<uint32_t(uint32_t)>& expected) {
  EXPECT_EQ(BitDepth(png), bit_depth);
  EXPECT_EQ(ColourType(png), 3);
  const QImage decoded = Decoded(png);
  ASSERT_EQ(decoded.width(), image.width);
  ASSERT_EQ(decoded.height(), image.height);
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      ASSERT_EQ(DecodedPixel(decoded, x, y), expected(image.At(x, y))) << x << "," << y;
    }
  }
}

TEST(PngEncoderTest, PaletteFormKeepsAnImageOfFewColoursExactly) {
  const ScreenImage image = FlatColourImage(97, 61);
  const auto png = EncodePng(image, 0);
  ASSERT_TRUE(png);
  ExpectDecodesAs(*png, image, 8, [](uint32_t pixel) { return pixel; });
}

TEST(PngEncoderTest, GreyFormHoldsTwoPixelsAByteInTheSixteenLevels) {
  const ScreenImage image = PhotoLikeImage(33, 17);  // an odd width leaves a half byte a row
  const auto png = EncodePng(image, 1);
  ASSERT_TRUE(png);
  ExpectDecodesAs(*png, image, 4, [](uint32_t pixel) {
    const uint8_t grey = kGreyLevels[GreyLevelOf(pixel)];
    return PixelOf(grey, grey, grey);
  });
}

// The mean distance of each pixel from the colour that stands for it.
double MeanError(const ScreenImage& image, const std::function<uint32_t(int, int)>& shown) {
  double total = 0;
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) total += Distance(shown(x, y), image.At(x, y));
  }
  return total / (static_cast<double>(image.width) * image.height);
}

TEST(PngEncoderTest, PaletteFormMapsEachPixelOfAManyColouredImageCloseToItself) {
  const ScreenImage image = PhotoLikeImage(320, 200);
  const auto png = EncodePng(image, 0);
  ASSERT_TRUE(png);
  const QImage decoded = Decoded(*png);
  ASSERT_EQ(decoded.colorCount(), 256);
  const double error = MeanError(image, [&](int x, int y) { return DecodedPixel(decoded, x, y); });
  // A fixed palette of 8 red, 8 green and 4 blue levels, as a baseline: the palette made
  // for the image does far better.
  const auto fixed_level = [](uint8_t value, int levels) {
    const int step = 256 / levels;
    return static_cast<uint8_t>(value / step * step + step / 2);
  };
  const double fixed_error = MeanError(image, [&](int x, int y) {
    const uint32_t pixel = image.At(x, y);
    return PixelOf(fixed_level(RedOf(pixel), 8), fixed_level(GreenOf(pixel), 8),
                   fixed_level(BlueOf(pixel), 4));
  });
  EXPECT_LT(error, 0.75 * fixed_error) << error << " against " << fixed_error;
  EXPECT_LT(error, 12.0);
}

TEST(PngEncoderTest, PassesPngcheckInBothForms) {
  for (const int format : {0, 1}) {
    for (const ScreenImage& image :
         {FlatColourImage(1, 1), FlatColourImage(640, 480), PhotoLikeImage(301, 203)}) {
      const auto png = EncodePng(image, format);
      ASSERT_TRUE(png);
      const auto check = PngCheck(*png);
      EXPECT_EQ(check.exit_code, 0) << check.out << check.err;
      EXPECT_NE(check.out.find("No errors detected"), std::string::npos) << check.out;
    }
  }
}

struct SizeRuleCase {
  int format;
  int64_t limit;
};

class SizeRuleTest : public ::testing::TestWithParam<SizeRuleCase> {};

TEST_P(SizeRuleTest, TakesTheGreyFormOnlyWhenTheColourFormIsTooLargeAndGreyIsSmaller) {
  const int format = GetParam().format;
  const int64_t limit = GetParam().limit;
  // A colour form just under the limit stays; noise twice the limit's size goes grey.
  const ScreenImage small = FlatColourImage(200, 100);
  const auto small_png = EncodePng(small, format);
  ASSERT_TRUE(small_png);
  ASSERT_LE(static_cast<int64_t>(small_png->size()), limit);
  EXPECT_EQ(BitDepth(*small_png), 8);

  const int side = static_cast<int>(std::sqrt(2.0 * static_cast<double>(limit)));
  const ScreenImage noisy = NoiseImage(side, side);
  const auto colour = EncodePng(noisy, 0);
  const auto grey = EncodePng(noisy, 1);
  ASSERT_TRUE(colour && grey);
  ASSERT_GT(static_cast<int64_t>(colour->size()), limit);
  ASSERT_LT(grey->size(), colour->size());
  EXPECT_EQ(EncodePng(noisy, format), grey);
}

INSTANTIATE_TEST_SUITE_P(Formats, SizeRuleTest,
                         ::testing::Values(SizeRuleCase{2, 51200}, SizeRuleCase{3, 102400},
                                           SizeRuleCase{4, 204800}, SizeRuleCase{5, 307200}),
                         [](const auto& case_info) {
                           return "format_" + std::to_string(case_info.param.format);
                         });

TEST(PngEncoderTest, RefusesAnImageWithoutPixels) {
  EXPECT_FALSE(EncodePng(ScreenImage(), 0));
  EXPECT_FALSE(EncodePng(ScreenImage(0, 5), 1));
  ScreenImage inconsistent(4, 4);
  inconsistent.pixels.pop_back();
  EXPECT_FALSE(EncodePng(inconsistent, 0));
}

TEST(ColourPaletteTest, KeepsTheImagesOwnColoursUpTo256) {
  std::vector<uint32_t> pixels;
  for (uint32_t i = 0; i < 256; ++i) pixels.push_back(PixelOf(i, 255 - i, i / 2));
  pixels.insert(pixels.end(), pixels.begin(), pixels.end());
  std::vector<uint32_t> palette = ImagePalette(pixels);
  ASSERT_EQ(palette.size(), 256u);
  for (const uint32_t pixel : pixels) {
    EXPECT_NE(std::find(palette.begin(), palette.end(), pixel), palette.end());
  }
  pixels.push_back(PixelOf(1, 2, 3));  // one colour more: Wu's palette
  EXPECT_LE(ImagePalette(pixels).size(), 256u);
}

TEST(ColourPaletteTest, MapperFindsTheNearestEntryAsAFullSearchDoes) {
  std::mt19937 random(3);
  for (const size_t palette_size : {1u, 2u, 17u, 256u}) {
    std::vector<uint32_t> palette;
    for (size_t i = 0; i < palette_size; ++i) palette.push_back(random() & 0x00FFFFFF);
    PaletteMapper mapper(palette);
    for (int probe = 0; probe < 20000; ++probe) {
      const uint32_t pixel = random() & 0x00FFFFFF;
      double best = 1e9;
      for (const uint32_t entry : palette) best = std::min(best, Distance(entry, pixel));
      const uint8_t index = mapper.IndexOf(pixel);
      ASSERT_LT(index, palette.size());
      ASSERT_DOUBLE_EQ(Distance(palette[index], pixel), best) << "palette of " << palette_size;
      ASSERT_EQ(mapper.IndexOf(pixel), index);  // and again from the cache
    }
  }
}

TEST(WuQuantizerTest, GivesEachClusterOfColoursItsOwnEntries) {
  // Two clusters of shades far apart and a lone colour: each gets entries near it.
  std::vector<uint32_t> pixels;
  for (int i = 0; i < 300; ++i) {
    pixels.push_back(PixelOf(200 + i % 40, 10 + i % 13, 10));
    pixels.push_back(PixelOf(10, 10 + i % 17, 180 + i % 50));
  }
  pixels.push_back(PixelOf(0, 255, 0));
  const std::vector<uint32_t> palette = WuPalette(pixels, 8);
  ASSERT_EQ(palette.size(), 8u);
  for (const uint32_t pixel : pixels) {
    double best = 1e9;
    for (const uint32_t entry : palette) best = std::min(best, Distance(entry, pixel));
    EXPECT_LT(best, 30.0);
  }
}

TEST(WuQuantizerTest, StopsWhenNoBoxCanBeCutAnyMore) {
  // All pixels in one cell of the colour cube: one entry, their mean.
  const std::vector<uint32_t> pixels = {PixelOf(8, 8, 8), PixelOf(9, 9, 9), PixelOf(15, 15, 15)};
  EXPECT_EQ(WuPalette(pixels, 256), std::vector<uint32_t>{PixelOf(11, 11, 11)});
  EXPECT_TRUE(WuPalette({}, 256).empty());
}

}  // namespace

}  // namespace userdb::crash
