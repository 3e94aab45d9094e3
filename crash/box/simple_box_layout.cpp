#include "crash/box/simple_box_layout.h"

#include <algorithm>

namespace userdb::crash {

namespace {

constexpr int kNarrowCaption = 75;
constexpr int kNarrowButtonWidth = 79;
constexpr int kCaptionPadding = 4;
constexpr int kButtonGap = 2;
constexpr Point kTextStart{11, 12};
constexpr int kWrapWidth = 638;
constexpr int kMargin = 11;
constexpr int kGapAboveButtons = 12;
constexpr int kBottomMargin = 12;
// The title bar's own buttons and icon take about three title bar heights.
constexpr int kTitleBarButtons = 3;

}  // namespace

int SimpleBoxButtonWidth(int caption_width) {
  return caption_width < kNarrowCaption ? kNarrowButtonWidth : caption_width + kCaptionPadding;
}

SimpleBoxLayout LayOutSimpleBox(const SimpleBoxInput& input, const TextMeasure& measure_text) {
  SimpleBoxLayout layout;
  layout.wrap_width = kWrapWidth;
  const Size text = measure_text(kWrapWidth);
  layout.text = {kTextStart.x, kTextStart.y, text.width, text.height};

  int row_width = 0;
  for (const ButtonKind kind : input.buttons.shown) {
    if (row_width > 0) row_width += kButtonGap;
    row_width += SimpleBoxButtonWidth(input.caption_widths[IndexOf(kind)]);
  }
  const int width = std::max({text.width + 2 * kMargin, row_width + 2 * kMargin,
                              input.title_width + kTitleBarButtons * input.title_bar_height});
  const int row_y = layout.text.Bottom() + kGapAboveButtons;
  int x = (width - row_width) / 2;
  for (const ButtonKind kind : input.buttons.shown) {
    const int button_width = SimpleBoxButtonWidth(input.caption_widths[IndexOf(kind)]);
    layout.buttons.push_back({kind, {x, row_y, button_width, kSimpleBoxButtonHeight}});
    x += button_width + kButtonGap;
  }
  layout.frame = CentredOn(input.screen, {width, row_y + kSimpleBoxButtonHeight + kBottomMargin});
  return layout;
}

}  // namespace userdb::crash
