// Points, sizes and rectangles in pixels, as the windows of the crash reporter are laid out:
// the layout rules compute them and the helper program places its widgets by them.
#pragma once

namespace userdb::crash {

struct Point {
  int x = 0;
  int y = 0;
  friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
  int width = 0;
  int height = 0;
  friend bool operator==(const Size&, const Size&) = default;
};

struct Rect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  int Right() const { return x + width; }
  int Bottom() const { return y + height; }
  friend bool operator==(const Rect&, const Rect&) = default;
};

// Where a window of `size` stands when it is centred on `screen`.
inline Rect CentredOn(const Rect& screen, Size size) {
  return {screen.x + (screen.width - size.width) / 2, screen.y + (screen.height - size.height) / 2,
          size.width, size.height};
}

}  // namespace userdb::crash
