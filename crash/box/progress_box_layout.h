// The geometry of a ProgressBox: the text line word-wrapped to 420 pixels and at least 220
// wide, at (11, 12), or right of the 32 × 32 picture at (9, 9) at x = 51; the progress bar,
// as high as a scroll bar, below the text. Shown with activation the box stands in the
// middle of the screen; without, at the bottom right corner of the work area.
#pragma once

#include <optional>

#include "crash/box/box_layout.h"
#include "crash/box/geometry.h"

namespace userdb::crash {

inline constexpr int kProgressTextWrapWidth = 420;

struct ProgressBoxInput {
  bool picture = false;
  int scroll_bar_height = 0;
  bool activate = true;
  Rect screen;
  Rect work_area;
};

struct ProgressBoxLayout {
  Rect frame;  // the client area on the screen
  Rect text;
  std::optional<Rect> picture;
  Rect bar;
};

// The bar's top is 24 pixels below the top of a one-line text; below a higher text it keeps
// the same 11-pixel gap.
ProgressBoxLayout LayOutProgressBox(const ProgressBoxInput& input, const TextMeasure& measure_text);

}  // namespace userdb::crash
