#include "crash/send/colour_palette.h"

#include <algorithm>
#include <limits>
#include <optional>

#include "crash/send/screen_image.h"
#include "crash/send/wu_quantizer.h"

namespace userdb::crash {

namespace {

constexpr uint32_t kColourBits = 0x00FFFFFF;
constexpr uint32_t kCacheEmpty = 0xFFFFFFFF;  // never a colour: those have a top byte of 0
constexpr int kCacheBits = 16;

size_t CacheSlot(uint32_t colour) {
  return static_cast<size_t>((colour * 2654435761u) >> (32 - kCacheBits));
}

// The image's distinct colours, or none when there are more than `limit`.
std::optional<std::vector<uint32_t>> DistinctColours(const std::vector<uint32_t>& pixels,
                                                     size_t limit) {
  std::vector<uint32_t> seen(size_t{1} << kCacheBits, kCacheEmpty);
  std::vector<uint32_t> colours;
  uint32_t previous = kCacheEmpty;
  for (const uint32_t pixel : pixels) {
    const uint32_t colour = pixel & kColourBits;
    if (colour == previous) continue;
    previous = colour;
    // Open addressing: the table has room for far more than `limit` colours.
    for (size_t slot = CacheSlot(colour);; slot = (slot + 1) & (seen.size() - 1)) {
      if (seen[slot] == colour) break;
      if (seen[slot] == kCacheEmpty) {
        seen[slot] = colour;
        colours.push_back(colour);
        if (colours.size() > limit) return std::nullopt;
        break;
      }
    }
  }
  return colours;
}

int Square(int value) {
  return value * value;
}

}  // namespace

std::vector<uint32_t> ImagePalette(const std::vector<uint32_t>& pixels) {
  if (auto colours = DistinctColours(pixels, kMaxPaletteColours)) {
    std::sort(colours->begin(), colours->end());
    return *colours;
  }
  return WuPalette(pixels, kMaxPaletteColours);
}

PaletteMapper::PaletteMapper(const std::vector<uint32_t>& palette)
    : cached_colours_(size_t{1} << kCacheBits, kCacheEmpty),
      cached_indexes_(size_t{1} << kCacheBits, 0) {
  for (size_t i = 0; i < palette.size() && i < kMaxPaletteColours; ++i) {
    by_green_.push_back(
        {GreenOf(palette[i]), RedOf(palette[i]), BlueOf(palette[i]), static_cast<uint8_t>(i)});
  }
  std::stable_sort(by_green_.begin(), by_green_.end(),
                   [](const Entry& a, const Entry& b) { return a.green < b.green; });
}

uint8_t PaletteMapper::IndexOf(uint32_t pixel) {
  const uint32_t colour = pixel & kColourBits;
  const size_t slot = CacheSlot(colour);
  if (cached_colours_[slot] != colour) {
    cached_colours_[slot] = colour;
    cached_indexes_[slot] = NearestIndex(colour);
  }
  return cached_indexes_[slot];
}

// Searches outwards from the entries of the pixel's green: once the green difference
// alone reaches the best distance found, no entry further out on that side can be nearer.
uint8_t PaletteMapper::NearestIndex(uint32_t colour) const {
  const int red = RedOf(colour), green = GreenOf(colour), blue = BlueOf(colour);
  const auto start =
      std::lower_bound(by_green_.begin(), by_green_.end(), green,
                       [](const Entry& entry, int value) { return entry.green < value; });
  int best_distance = std::numeric_limits<int>::max();
  uint8_t best_index = 0;
  const auto consider = [&](const Entry& entry) {
    const int distance =
        Square(entry.red - red) + Square(entry.green - green) + Square(entry.blue - blue);
    if (distance < best_distance || (distance == best_distance && entry.index < best_index)) {
      best_distance = distance;
      best_index = entry.index;
    }
  };
  auto up = start;
  auto down = start;
  bool searching_up = up != by_green_.end();
  bool searching_down = down != by_green_.begin();
  while (searching_up || searching_down) {
    if (searching_up) {
      if (Square(up->green - green) > best_distance) {
        searching_up = false;
      } else {
        consider(*up);
        searching_up = ++up != by_green_.end();
      }
    }
    if (searching_down) {
      const Entry& below = *(down - 1);
      if (Square(below.green - green) > best_distance) {
        searching_down = false;
      } else {
        consider(below);
        searching_down = --down != by_green_.begin();
      }
    }
  }
  return best_index;
}

}  // namespace userdb::crash
