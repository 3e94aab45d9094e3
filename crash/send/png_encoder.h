// The screenshot as a PNG file, in the forms that "ScrShotDepth" chooses:
//   0: an 8-bit palette image, the palette made for the image (see ImagePalette), each
//      pixel its nearest palette entry;
//   1: a 4-bit grey image: each pixel's luminance (77 red + 151 green + 28 blue) / 256 to
//      the nearest of 16 grey levels, two pixels a byte, the left one in the high nibble;
//   2 to 5: the 8-bit form, unless it is larger than 51200, 102400, 204800 or 307200 bytes;
//      then the smaller of it and the 4-bit grey form.
// Each file holds the header, the palette, the image data (each row led by filter byte 0,
// all rows one zlib stream) and the end chunk.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "crash/send/screen_image.h"

namespace userdb::crash {

// The form for a "ScrShotDepth" value: 4 gives 1, 51200 gives 2, 102400 gives 3, 204800
// gives 4, 307200 gives 5, any other value 0.
int PngFormatForDepth(int32_t depth);

// The 16 grey levels of the 4-bit form, darkest first.
inline constexpr std::array<uint8_t, 16> kGreyLevels = {0,   28,  52,  73,  92,  109, 125, 140,
                                                        155, 170, 185, 199, 213, 227, 241, 255};

// The number of the grey level (0 to 15) that the 4-bit form gives a pixel.
int GreyLevelOf(uint32_t pixel);

// The PNG file's bytes; none for an image without pixels or one that zlib cannot compress.
std::optional<std::string> EncodePng(const ScreenImage& image, int format);

}  // namespace userdb::crash
