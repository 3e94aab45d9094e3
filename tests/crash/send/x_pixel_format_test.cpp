// The X server's image layouts turned into screenshot pixels.
#include "crash/send/x_pixel_format.h"

#include <gtest/gtest.h>

namespace userdb::crash {

namespace {

TEST(XPixelFormatTest, CopiesThe32BitLayoutIntoPlace) {
  // Two rows of two pixels, blue-green-red-unused in each, padded to 32 bits already.
  const uint8_t data[] = {0x03, 0x02, 0x01, 0xEE, 0x06, 0x05, 0x04, 0xEE,
                          0x09, 0x08, 0x07, 0xEE, 0x0C, 0x0B, 0x0A, 0xEE};
  ScreenImage image(4, 3, kWhitePixel);
  ASSERT_TRUE(CopyXImage(data, sizeof data, 2, 2, XPixelFormat{}, image, 1, 1));
  EXPECT_EQ(image.At(1, 1), PixelOf(1, 2, 3));
  EXPECT_EQ(image.At(2, 1), PixelOf(4, 5, 6));
  EXPECT_EQ(image.At(1, 2), PixelOf(7, 8, 9));
  EXPECT_EQ(image.At(2, 2), PixelOf(10, 11, 12));
  EXPECT_EQ(image.At(0, 0), kWhitePixel);
  EXPECT_EQ(image.At(3, 2), kWhitePixel);
}

TEST(XPixelFormatTest, ScalesSixteenBitChannelsAndSkipsRowPadding) {
  XPixelFormat format;
  format.bits_per_pixel = 16;
  format.red_mask = 0xF800;
  format.green_mask = 0x07E0;
  format.blue_mask = 0x001F;
  // One row of three pixels (6 bytes) padded to 8: white, pure red, a mid grey.
  const uint16_t grey = (16 << 11) | (32 << 5) | 16;
  const uint8_t data[] = {0xFF, 0xFF, 0x00, 0xF8, grey & 0xFF, grey >> 8, 0xAA, 0xAA,
                          0x1F, 0x00, 0xE0, 0x07, 0x00,        0x00,      0xAA, 0xAA};
  ScreenImage image(3, 2);
  ASSERT_TRUE(CopyXImage(data, sizeof data, 3, 2, format, image, 0, 0));
  EXPECT_EQ(image.At(0, 0), PixelOf(255, 255, 255));
  EXPECT_EQ(image.At(1, 0), PixelOf(255, 0, 0));
  EXPECT_EQ(image.At(2, 0), PixelOf(132, 130, 132));
  EXPECT_EQ(image.At(0, 1), PixelOf(0, 0, 255));
  EXPECT_EQ(image.At(1, 1), PixelOf(0, 255, 0));
  EXPECT_EQ(image.At(2, 1), PixelOf(0, 0, 0));
}

TEST(XPixelFormatTest, ReadsTheMostSignificantByteFirstWhereTheServerSaysSo) {
  XPixelFormat format;
  format.most_significant_first = true;
  const uint8_t data[] = {0x00, 0x11, 0x22, 0x33};
  ScreenImage image(1, 1);
  ASSERT_TRUE(CopyXImage(data, sizeof data, 1, 1, format, image, 0, 0));
  EXPECT_EQ(image.At(0, 0), PixelOf(0x11, 0x22, 0x33));
}

TEST(XPixelFormatTest, RefusesTooFewBytesAndUnknownLayouts) {
  const uint8_t data[8] = {};
  ScreenImage image(2, 2, kWhitePixel);
  EXPECT_FALSE(CopyXImage(data, sizeof data, 2, 2, XPixelFormat{}, image, 0, 0));
  XPixelFormat eight_bit;
  eight_bit.bits_per_pixel = 8;
  EXPECT_FALSE(CopyXImage(data, sizeof data, 2, 2, eight_bit, image, 0, 0));
  EXPECT_EQ(image, ScreenImage(2, 2, kWhitePixel));
}

}  // namespace

}  // namespace userdb::crash
