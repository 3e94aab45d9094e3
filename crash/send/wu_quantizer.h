// Colour quantization after Xiaolin Wu's method ("Efficient Statistical Computations for
// Optimal Color Quantization", Graphics Gems II, 1991). The colour cube, at 5 bits a
// channel, carries the count, the colour sums and the sum of squares of the pixels in each
// cell, summed up so that the statistics of any box of cells cost eight look-ups. Starting
// from the whole cube, the box with the largest squared colour error is cut, again and
// again, at the plane that leaves the two halves with the smallest summed error; each
// palette entry is the mean colour of one box.
#pragma once

#include <cstdint>
#include <vector>

namespace userdb::crash {

// At most `max_colours` colours (0x00RRGGBB) for `pixels`; fewer when the pixels' cells
// allow no more cuts. Empty for no pixels.
std::vector<uint32_t> WuPalette(const std::vector<uint32_t>& pixels, int max_colours);

}  // namespace userdb::crash
