#include "crash/send/wu_quantizer.h"

#include <array>
#include <cmath>
#include <cstddef>
#include <optional>

#include "crash/send/screen_image.h"

namespace userdb::crash {

namespace {

// 32 levels a channel (the top 5 bits), plus a plane of zeros below them, so that the
// summed tables need no special case at a box's lower edge.
constexpr int kSide = 33;
constexpr int kLevelShift = 3;

size_t CellIndex(int red, int green, int blue) {
  return (static_cast<size_t>(red) * kSide + green) * kSide + blue;
}

enum Axis { kRed = 0, kGreen = 1, kBlue = 2 };

// A box of cells: on each axis, from above `lower` up to and including `upper`.
struct Box {
  std::array<int, 3> lower = {0, 0, 0};
  std::array<int, 3> upper = {kSide - 1, kSide - 1, kSide - 1};

  int Cells() const {
    return (upper[kRed] - lower[kRed]) * (upper[kGreen] - lower[kGreen]) *
           (upper[kBlue] - lower[kBlue]);
  }
};

// The pixels of a box: their count, the sums of each channel and of the squares.
struct BoxSums {
  int64_t count = 0;
  std::array<int64_t, 3> colour = {0, 0, 0};
  double squares = 0;

  // The sum of the squared distances of the pixels from their mean colour.
  double SquaredError() const {
    if (count == 0) return 0;
    double mean_part = 0;
    for (const int64_t sum : colour) mean_part += static_cast<double>(sum) * sum;
    return squares - mean_part / static_cast<double>(count);
  }

  // What a cut gains by keeping this half: the larger, the less error is left.
  double CutScore() const {
    double score = 0;
    for (const int64_t sum : colour) score += static_cast<double>(sum) * sum;
    return score / static_cast<double>(count);
  }
};

class ColourMoments {
 public:
  explicit ColourMoments(const std::vector<uint32_t>& pixels)
      : count_(kCells), red_(kCells), green_(kCells), blue_(kCells), squares_(kCells) {
    for (const uint32_t pixel : pixels) Add(pixel);
    SumUp();
  }

  BoxSums Sums(const Box& box) const {
    BoxSums sums;
    sums.count = Volume(box, count_);
    sums.colour = {Volume(box, red_), Volume(box, green_), Volume(box, blue_)};
    sums.squares = Volume(box, squares_);
    return sums;
  }

 private:
  static constexpr size_t kCells = static_cast<size_t>(kSide) * kSide * kSide;

  void Add(uint32_t pixel) {
    const int red = RedOf(pixel), green = GreenOf(pixel), blue = BlueOf(pixel);
    const size_t cell =
        CellIndex((red >> kLevelShift) + 1, (green >> kLevelShift) + 1, (blue >> kLevelShift) + 1);
    ++count_[cell];
    red_[cell] += red;
    green_[cell] += green;
    blue_[cell] += blue;
    squares_[cell] += static_cast<double>(red * red + green * green + blue * blue);
  }

  // Each cell becomes the sum of all cells at or below it on every axis.
  void SumUp() {
    for (int axis = kRed; axis <= kBlue; ++axis) {
      for (int red = 1; red < kSide; ++red) {
        for (int green = 1; green < kSide; ++green) {
          for (int blue = 1; blue < kSide; ++blue) {
            std::array<int, 3> below = {red, green, blue};
            --below[axis];
            const size_t cell = CellIndex(red, green, blue);
            const size_t previous = CellIndex(below[kRed], below[kGreen], below[kBlue]);
            count_[cell] += count_[previous];
            red_[cell] += red_[previous];
            green_[cell] += green_[previous];
            blue_[cell] += blue_[previous];
            squares_[cell] += squares_[previous];
          }
        }
      }
    }
  }

  // The sum over the box, by inclusion and exclusion of the eight corners.
  template <typename Value>
  static Value Volume(const Box& box, const std::vector<Value>& summed) {
    const auto at = [&](int red, int green, int blue) {
      return summed[CellIndex(red, green, blue)];
    };
    const auto& lo = box.lower;
    const auto& hi = box.upper;
    return at(hi[0], hi[1], hi[2]) - at(hi[0], hi[1], lo[2]) - at(hi[0], lo[1], hi[2]) +
           at(hi[0], lo[1], lo[2]) - at(lo[0], hi[1], hi[2]) + at(lo[0], hi[1], lo[2]) +
           at(lo[0], lo[1], hi[2]) - at(lo[0], lo[1], lo[2]);
  }

  std::vector<int64_t> count_, red_, green_, blue_;
  std::vector<double> squares_;
};

struct Cut {
  Box lower_half;
  Box upper_half;
};

// The cut of `box` that leaves the least squared error in its two halves; none when no
// plane leaves pixels on both sides.
std::optional<Cut> BestCut(const ColourMoments& moments, const Box& box) {
  std::optional<Cut> best;
  double best_score = 0;
  for (int axis = kRed; axis <= kBlue; ++axis) {
    for (int plane = box.lower[axis] + 1; plane < box.upper[axis]; ++plane) {
      Cut cut{box, box};
      cut.lower_half.upper[axis] = plane;
      cut.upper_half.lower[axis] = plane;
      const BoxSums lower = moments.Sums(cut.lower_half);
      const BoxSums upper = moments.Sums(cut.upper_half);
      if (lower.count == 0 || upper.count == 0) continue;
      const double score = lower.CutScore() + upper.CutScore();
      if (!best || score > best_score) {
        best = cut;
        best_score = score;
      }
    }
  }
  return best;
}

uint8_t MeanLevel(int64_t sum, int64_t count) {
  return static_cast<uint8_t>((sum + count / 2) / count);
}

}  // namespace

std::vector<uint32_t> WuPalette(const std::vector<uint32_t>& pixels, int max_colours) {
  if (pixels.empty() || max_colours < 1) return {};
  const ColourMoments moments(pixels);

  std::vector<Box> boxes = {Box{}};
  // The error that cutting each box could remove; 0 for a box that cannot be cut.
  std::vector<double> errors = {moments.Sums(boxes[0]).SquaredError()};
  const auto error_of = [&](const Box& box) {
    return box.Cells() > 1 ? moments.Sums(box).SquaredError() : 0.0;
  };
  while (static_cast<int>(boxes.size()) < max_colours) {
    size_t worst = 0;
    for (size_t i = 1; i < boxes.size(); ++i) {
      if (errors[i] > errors[worst]) worst = i;
    }
    if (errors[worst] <= 0) break;
    const std::optional<Cut> cut = BestCut(moments, boxes[worst]);
    if (!cut) {
      errors[worst] = 0;
      continue;
    }
    boxes[worst] = cut->lower_half;
    errors[worst] = error_of(cut->lower_half);
    boxes.push_back(cut->upper_half);
    errors.push_back(error_of(cut->upper_half));
  }

  std::vector<uint32_t> palette;
  for (const Box& box : boxes) {
    const BoxSums sums = moments.Sums(box);
    if (sums.count == 0) continue;
    palette.push_back(PixelOf(MeanLevel(sums.colour[kRed], sums.count),
                              MeanLevel(sums.colour[kGreen], sums.count),
                              MeanLevel(sums.colour[kBlue], sums.count)));
  }
  return palette;
}

}  // namespace userdb::crash
