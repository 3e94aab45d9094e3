// The bitmap file of the screenshot: written as a 32-bit bottom-up file, and read back in
// the forms image editors save; anything else is refused.
#include "crash/send/bitmap_file.h"

#include <gtest/gtest.h>

#include "tests/crash/send/test_images.h"
#include "tests/support/case_name.h"
#include "tests/support/temp_folder.h"

namespace userdb::crash {

namespace {

void Put(std::string& bytes, size_t offset, uint32_t value, int count) {
  for (int i = 0; i < count; ++i) bytes[offset + i] = static_cast<char>(value >> (8 * i));
}

// A bitmap file of `image` as an editor might save it.
struct BitmapLayout {
  int bits = 24;
  bool top_down = false;
  uint32_t header_size = 40;
  uint32_t compression = 0;
  bool masks_after_header = false;  // bit fields behind a 40-byte header
  uint32_t red_mask = 0x00FF0000;
};

std::string BitmapBytes(const ScreenImage& image, const BitmapLayout& layout) {
  const size_t pixel_bytes = static_cast<size_t>(layout.bits / 8);
  const size_t stride = (image.width * pixel_bytes + 3) / 4 * 4;
  const size_t masks = layout.masks_after_header ? 12 : 0;
  const size_t offset = 14 + layout.header_size + masks;
  std::string bytes(offset + stride * image.height, '\0');
  bytes[0] = 'B';
  bytes[1] = 'M';
  Put(bytes, 2, static_cast<uint32_t>(bytes.size()), 4);
  Put(bytes, 10, static_cast<uint32_t>(offset), 4);
  Put(bytes, 14, layout.header_size, 4);
  Put(bytes, 18, static_cast<uint32_t>(image.width), 4);
  Put(bytes, 22, static_cast<uint32_t>(layout.top_down ? -image.height : image.height), 4);
  Put(bytes, 26, 1, 2);
  Put(bytes, 28, static_cast<uint32_t>(layout.bits), 2);
  Put(bytes, 30, layout.compression, 4);
  if (layout.compression == 3) {
    Put(bytes, 54, layout.red_mask, 4);
    Put(bytes, 58, 0x0000FF00, 4);
    Put(bytes, 62, 0x000000FF, 4);
    if (layout.header_size >= 56) Put(bytes, 66, 0xFF000000, 4);  // alpha
  }
  for (int y = 0; y < image.height; ++y) {
    const int row = layout.top_down ? y : image.height - 1 - y;
    for (int x = 0; x < image.width; ++x) {
      // An alpha byte of 0x80 in 32-bit files: it is no colour.
      const uint32_t value = image.At(x, y) | (layout.bits == 32 ? 0x80000000u : 0);
      Put(bytes, offset + row * stride + x * pixel_bytes, value, static_cast<int>(pixel_bytes));
    }
  }
  return bytes;
}

TEST(BitmapFileTest, WritesA32BitFileWithItsRowsBottomUp) {
  ScreenImage image(3, 2);
  image.At(0, 0) = PixelOf(1, 2, 3);     // top left
  image.At(2, 1) = PixelOf(10, 20, 30);  // bottom right
  const std::string bytes = EncodeBitmap(image);
  ASSERT_EQ(bytes.size(), 14u + 40u + 3 * 2 * 4);
  EXPECT_EQ(bytes.substr(0, 2), "BM");
  EXPECT_EQ(static_cast<uint8_t>(bytes[28]), 32);  // bits a pixel
  EXPECT_EQ(static_cast<uint8_t>(bytes[22]), 2);   // positive height: bottom-up
  // The first stored row is the image's bottom row, each pixel blue, green, red, 0.
  EXPECT_EQ(bytes.substr(54 + 2 * 4, 4), std::string("\x1E\x14\x0A\x00", 4));
  EXPECT_EQ(bytes.substr(54 + 3 * 4, 4), std::string("\x03\x02\x01\x00", 4));
}

TEST(BitmapFileTest, ReadsBackWhatItWrote) {
  const ScreenImage image = test_support::PhotoLikeImage(37, 23);
  test_support::TempFolder folder;
  const std::string path = folder / "screenShot.bmp";
  WriteBitmapFile(path, image);
  EXPECT_EQ(ReadBitmapFile(path), image);
  EXPECT_FALSE(ReadBitmapFile(folder / "missing.bmp"));
}

struct EditorFormCase {
  const char* what;
  BitmapLayout layout;
};

class EditorFormTest : public ::testing::TestWithParam<EditorFormCase> {};

TEST_P(EditorFormTest, IsReadWithItsColours) {
  const ScreenImage image = test_support::PhotoLikeImage(13, 7);  // rows of 39 bytes: padded
  EXPECT_EQ(DecodeBitmap(BitmapBytes(image, GetParam().layout)), image);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, EditorFormTest,
    ::testing::Values(EditorFormCase{"24 bit bottom up", {24, false}},
                      EditorFormCase{"24 bit top down", {24, true}},
                      EditorFormCase{"32 bit bottom up", {32, false}},
                      EditorFormCase{"32 bit top down", {32, true}},
                      EditorFormCase{"32 bit fields after the header", {32, false, 40, 3, true}},
                      EditorFormCase{"32 bit fields in a version 4 header", {32, false, 108, 3}},
                      EditorFormCase{"32 bit fields in a version 5 header", {32, true, 124, 3}},
                      EditorFormCase{"24 bit in a version 5 header", {24, false, 124}}),
    [](const auto& case_info) { return test_support::CaseName(case_info.param.what); });

struct RefusedCase {
  const char* what;
  std::string bytes;
};

std::string Valid() {
  return BitmapBytes(test_support::FlatColourImage(5, 4), {});
}

std::string Changed(std::string bytes, size_t offset, uint32_t value, int count) {
  Put(bytes, offset, value, count);
  return bytes;
}

class RefusedTest : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(RefusedTest, GivesNoImage) {
  EXPECT_FALSE(DecodeBitmap(GetParam().bytes));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RefusedTest,
    ::testing::Values(RefusedCase{"empty", ""},
                      RefusedCase{"not a bitmap", "PK" + Valid().substr(2)},
                      RefusedCase{"cut in the header", Valid().substr(0, 40)},
                      RefusedCase{"cut in the pixels", Valid().substr(0, Valid().size() - 1)},
                      RefusedCase{"8 bits a pixel", Changed(Valid(), 28, 8, 2)},
                      RefusedCase{"16 bits a pixel", Changed(Valid(), 28, 16, 2)},
                      RefusedCase{"run length compressed", Changed(Valid(), 30, 1, 4)},
                      RefusedCase{"24 bit with bit fields", Changed(Valid(), 30, 3, 4)},
                      RefusedCase{"bit fields of another order",
                                  BitmapBytes(test_support::FlatColourImage(5, 4),
                                              {32, false, 108, 3, false, 0x000000FF})},
                      RefusedCase{"an OS/2 core header", Changed(Valid(), 14, 12, 4)},
                      RefusedCase{"unknown header size", Changed(Valid(), 14, 64, 4)},
                      RefusedCase{"two planes", Changed(Valid(), 26, 2, 2)},
                      RefusedCase{"width 0", Changed(Valid(), 18, 0, 4)},
                      RefusedCase{"negative width", Changed(Valid(), 18, 0xFFFFFFFB, 4)},
                      RefusedCase{"height 0", Changed(Valid(), 22, 0, 4)},
                      RefusedCase{"smallest height", Changed(Valid(), 22, 0x80000000, 4)},
                      RefusedCase{"huge width", Changed(Valid(), 18, 0x7FFFFFFF, 4)},
                      RefusedCase{"more pixels than the file holds", Changed(Valid(), 22, 400, 4)},
                      RefusedCase{"pixels beyond the end", Changed(Valid(), 10, 0xFFFFFFF0, 4)},
                      RefusedCase{"pixels inside the header", Changed(Valid(), 10, 20, 4)}),
    [](const auto& case_info) { return test_support::CaseName(case_info.param.what); });

}  // namespace

}  // namespace userdb::crash
