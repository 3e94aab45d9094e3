// The screenshot as a bitmap file ("screenShot.bmp"), for the user to edit in an image
// editor, and the edited file read back.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "crash/send/screen_image.h"

namespace userdb::crash {

// The file in the crash reporter's temporary folder that the image editor opens.
inline constexpr std::string_view kScreenshotBitmapName = "screenShot.bmp";

// A 32-bit bitmap file: the 14-byte file header, a 40-byte info header, then the pixels
// (blue, green, red, 0) with the rows bottom-up. Empty for an image without pixels.
std::string EncodeBitmap(const ScreenImage& image);

// The image of a bitmap file as image editors save one: 24 or 32 bits a pixel,
// uncompressed (32-bit also with the bit fields of red, green and blue in their usual
// places), rows bottom-up or top-down, any of the usual info headers (40 to 124 bytes).
// An alpha channel is ignored. Anything else, and any size or offset that does not fit
// the bytes, gives none.
std::optional<ScreenImage> DecodeBitmap(std::string_view bytes);

// Writes EncodeBitmap's bytes to `path`; throws platform::FileCreateError or
// platform::StreamWriteError.
void WriteBitmapFile(const std::string& path, const ScreenImage& image);

// The image of the bitmap file at `path`; none when it is missing, unreadable, larger than
// a screenshot could make it, or not a bitmap that DecodeBitmap takes.
std::optional<ScreenImage> ReadBitmapFile(const std::string& path);

}  // namespace userdb::crash
