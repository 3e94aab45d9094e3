// Any bytes as a bitmap file that an image editor saved: none or a whole image, never a
// read beyond them.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "crash/send/bitmap_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto image =
      userdb::crash::DecodeBitmap(std::string_view(reinterpret_cast<const char*>(data), size));
  if (image && (image->width < 1 || image->height < 1 ||
                image->pixels.size() != static_cast<size_t>(image->width) * image->height)) {
    abort();
  }
  return 0;
}
