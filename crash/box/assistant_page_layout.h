// The geometry of an assistant page's window: its width, the page numbers at the top
// right, the standard buttons below the item panel, and the size of a shown image. The
// header message is drawn at (11, 6); the items follow from y = 40 at x = 21; the window is
// centred on the screen.
#pragma once

#include <optional>

#include "crash/box/geometry.h"

namespace userdb::crash {

inline constexpr Point kPageMessagePosition{11, 6};
inline constexpr Point kFirstItemPosition{21, 40};
inline constexpr int kPageNumberStep = 19;

struct PageWidthInput {
  int buttons_width = 0;  // the three standard buttons' widths added up
  int minimum_width = 0;  // the page's own
  int message_width = 0;  // the header message's text width
  int page_count = 0;
};

// The widest of: the buttons + 32, 315, the page's minimum width, and the message + 19 per
// page number + 36.
int AssistantPageWidth(const PageWidthInput& input);

// The x of page number `number` (1-based) of `count`, each 19 pixels wide, the last 8 pixels
// from the right edge.
int PageNumberX(int number, int count, int page_width);

struct StandardButtonWidths {
  int continue_width = 0;
  int skip_width = 0;
  int cancel_width = 0;
  bool skip_visible = true;
  bool cancel_visible = true;
};

struct StandardButtonPlaces {
  int continue_x = 0;
  std::optional<int> skip_x;
  std::optional<int> cancel_x;
};

// With all three shown: SkipBtn at the left edge (x = 8), CancelBtn at the right edge and
// ContinueBtn 8 pixels left of it. Otherwise ContinueBtn at the left, SkipBtn right of it
// and CancelBtn at the right edge.
StandardButtonPlaces PlaceStandardButtons(const StandardButtonWidths& widths, int page_width);

// An image at its picture's size, reduced with its aspect kept to fit the page's width less
// 42 pixels and its frame, and a third of the screen's height.
Size ShownImageSize(Size picture, int page_width, int frame_width, int screen_height);

}  // namespace userdb::crash
