// The geometry of the full exception box, computed from what the window measures: the
// widths of the buttons' captions, the size of the message once wrapped, the screen and the
// height of a title bar. All places are in pixels within the box's client area, except the
// box's own place on the screen.
//
// Two layouts: with more than one of continue, restart and close shown and at least one of
// send, save, print and show, those three form a column at the right edge, all as wide as
// the widest, and the others a row at the bottom left on the line of the lowest column
// button; the column may rise beside the message, its top at least 7 pixels from the top.
// Otherwise all buttons stand in one row in the order of ButtonKind. Buttons are 4 pixels
// apart and the row starts 6 pixels from the left edge.
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <vector>

#include "crash/box/box_buttons.h"
#include "crash/box/geometry.h"

namespace userdb::crash {

// The size of the message's text when word-wrapped to the width given.
using TextMeasure = std::function<Size(int wrap_width)>;

// 22 pixels, 26 with "UglyBtns".
int FullBoxButtonHeight(bool ugly_buttons);
// The caption's width and 39 pixels for the picture and the margins.
int FullBoxButtonWidth(int caption_width);

struct PlacedButton {
  ButtonKind kind = ButtonKind::kContinue;
  Rect rect;
  friend bool operator==(const PlacedButton&, const PlacedButton&) = default;
};

struct FullBoxInput {
  BoxButtons buttons;
  std::array<int, 7> caption_widths{};  // by ButtonKind; only those of shown buttons count
  bool ugly_buttons = false;
  bool big_picture = false;
  bool report_shown = false;
  Rect screen;
  int title_bar_height = 0;
};

struct FullBoxLayout {
  Rect frame;  // the client area on the screen, centred
  bool two_groups = false;
  int wrap_width = 0;
  Rect text;
  std::optional<Rect> picture;        // the big picture, 32 × 32 at (9, 10)
  std::vector<PlacedButton> buttons;  // in the order of ButtonKind
  std::optional<Rect> tabs;           // the report's tab control, while the report is shown
  Size minimum;                       // the box never gets smaller than it was built
};

// The message is wrapped to (B if B > 663, else 664) - Q, where B is the width of the button
// row (its buttons' widths + 14; in the two-group layout the row holds send, save, print,
// show and one column button) and Q the room beside the message (the column's width + 40 in
// the two-group layout, else 26; 40 more with the big picture). It starts at (11, 12), or at
// x = 51 beside the big picture, centred against it when it is less than 26 pixels high.
// The box is as wide as the larger of the message's width + Q and B, and never narrower than
// its buttons with their gaps and margins; with the report shown at least 664 pixels, or the
// screen's width less five title bars when that is smaller. Its height holds the message,
// 5 pixels, the buttons at 4 pixels apart and 8 pixels below them; with the report shown
// 474 pixels more for the tab control (x = 5, width = box width - 15); at most the screen's
// height less five title bars.
FullBoxLayout LayOutFullBox(const FullBoxInput& input, const TextMeasure& measure_text);

// The box resized to `wanted` (never below its minimum): the column moves with the right
// edge, and the tab control stretches with the box.
FullBoxLayout ResizedFullBox(const FullBoxLayout& layout, Size wanted);

}  // namespace userdb::crash
