// Which part of the screen a screenshot of the program's own windows shows: the union of
// the own windows, each less what lies in front of it, within their bounding rectangle.
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

namespace userdb::crash {

struct ScreenRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;

  bool IsEmpty() const { return width <= 0 || height <= 0; }
  int Right() const { return x + width; }
  int Bottom() const { return y + height; }

  friend bool operator==(const ScreenRect&, const ScreenRect&) = default;
};

ScreenRect Intersection(const ScreenRect& a, const ScreenRect& b);

// The smallest rectangle holding both; an empty one adds nothing.
ScreenRect BoundingRect(const ScreenRect& a, const ScreenRect& b);

// What is left of `from` when `cut` is taken away: up to four disjoint rectangles.
std::vector<ScreenRect> Subtract(const ScreenRect& from, const ScreenRect& cut);

// A visible top-level window, on the screen's coordinates.
struct StackedWindow {
  ScreenRect rect;
  bool own = false;  // a window of the program whose screenshot is taken
};

struct CapturedPart {
  ScreenRect rect;
  size_t window = 0;  // the index of the own window it shows
};

struct CaptureRegion {
  ScreenRect bounds;                // the own windows' bounding rectangle, on the screen
  std::vector<CapturedPart> parts;  // disjoint, inside `bounds`
};

// The region for the own windows among `windows` (bottom to top, as they are stacked):
// each own window's rectangle, clipped to `screen`, less every window above it; bounded by
// the own windows' bounding rectangle clipped to `screen`. None when there is no own
// window or nothing of them shows.
std::optional<CaptureRegion> OwnWindowsRegion(const std::vector<StackedWindow>& windows,
                                              const ScreenRect& screen);

}  // namespace userdb::crash
