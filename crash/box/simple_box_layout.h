// The geometry of the simple and the detail box: a message box with the exception's message
// and, centred in one row below it, OK and (in the detail box) Details, 2 pixels apart. The
// box is centred on the screen and cannot be resized.
#pragma once

#include <array>
#include <vector>

#include "crash/box/box_buttons.h"
#include "crash/box/box_layout.h"
#include "crash/box/geometry.h"

namespace userdb::crash {

inline constexpr int kSimpleBoxButtonHeight = 23;

// 79 pixels for a caption narrower than 75, else the caption's width and 4.
int SimpleBoxButtonWidth(int caption_width);

struct SimpleBoxInput {
  BoxButtons buttons;
  std::array<int, 7> caption_widths{};  // by ButtonKind
  int title_width = 0;                  // the title's text width
  Rect screen;
  int title_bar_height = 0;
};

struct SimpleBoxLayout {
  Rect frame;  // the client area on the screen
  int wrap_width = 0;
  Rect text;
  std::vector<PlacedButton> buttons;
};

// The message at (11, 12), wrapped to 638 pixels (the narrowest wrap of the full box); the
// buttons 12 pixels below it and 12 above the bottom edge; the box as wide as the message or
// the buttons with margins of 11, and wide enough for its title in the title bar.
SimpleBoxLayout LayOutSimpleBox(const SimpleBoxInput& input, const TextMeasure& measure_text);

}  // namespace userdb::crash
