// The palette of an 8-bit palette image and the mapping of each pixel to its entry.
#pragma once

#include <cstdint>
#include <vector>

namespace userdb::crash {

inline constexpr int kMaxPaletteColours = 256;

// The best palette of at most kMaxPaletteColours colours for `pixels`: their own colours
// when there are no more (so that such an image keeps every pixel exactly, as a screenshot
// of plain windows mostly does), otherwise Wu's quantizer. Empty for no pixels.
std::vector<uint32_t> ImagePalette(const std::vector<uint32_t>& pixels);

// Maps colours to the index of the nearest palette entry (the smallest squared distance
// in red, green and blue; the first such entry on a tie). Remembers recent answers, as a
// screen holds long runs and many repeats of the same colours. One mapper per thread.
class PaletteMapper {
 public:
  // `palette`: 1 to kMaxPaletteColours colours.
  explicit PaletteMapper(const std::vector<uint32_t>& palette);

  uint8_t IndexOf(uint32_t pixel);

 private:
  struct Entry {
    uint8_t green;
    uint8_t red;
    uint8_t blue;
    uint8_t index;
  };

  uint8_t NearestIndex(uint32_t colour) const;

  std::vector<Entry> by_green_;  // sorted by green, to search outwards from a pixel's green
  std::vector<uint32_t> cached_colours_;  // kCacheEmpty or a colour
  std::vector<uint8_t> cached_indexes_;
};

}  // namespace userdb::crash
