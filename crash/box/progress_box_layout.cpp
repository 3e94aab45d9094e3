#include "crash/box/progress_box_layout.h"

#include <algorithm>

namespace userdb::crash {

namespace {

constexpr Point kTextStart{11, 12};
constexpr int kTextBesidePictureX = 51;
constexpr Rect kPicture{9, 9, 32, 32};
constexpr int kNarrowestText = 220;
constexpr int kBarBelowTextTop = 24;
constexpr int kGapAboveBar = 11;
constexpr int kMargin = 11;

}  // namespace

ProgressBoxLayout LayOutProgressBox(const ProgressBoxInput& input,
                                    const TextMeasure& measure_text) {
  ProgressBoxLayout layout;
  const Size text = measure_text(kProgressTextWrapWidth);
  layout.text = {input.picture ? kTextBesidePictureX : kTextStart.x, kTextStart.y,
                 std::max(text.width, kNarrowestText), text.height};
  if (input.picture) layout.picture = kPicture;
  const int bar_y = layout.text.y + std::max(kBarBelowTextTop, text.height + kGapAboveBar);
  layout.bar = {layout.text.x, bar_y, layout.text.width, input.scroll_bar_height};
  int bottom = layout.bar.Bottom();
  if (layout.picture) bottom = std::max(bottom, layout.picture->Bottom());
  const Size size{layout.text.Right() + kMargin, bottom + kMargin};
  if (input.activate) {
    layout.frame = CentredOn(input.screen, size);
  } else {
    layout.frame = {input.work_area.Right() - size.width, input.work_area.Bottom() - size.height,
                    size.width, size.height};
  }
  return layout;
}

}  // namespace userdb::crash
