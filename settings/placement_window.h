// What the placement saver needs of the window it keeps in place.
#pragma once

namespace userdb::settings {

struct WindowRectangle {
  int left = 0;
  int top = 0;
  int right = 0;   // exclusive: left + width
  int bottom = 0;  // exclusive: top + height

  friend bool operator==(const WindowRectangle&, const WindowRectangle&) = default;
};

class PlacementWindow {
 public:
  virtual ~PlacementWindow() = default;

  // Where the window is now, frame included.
  virtual WindowRectangle Bounds() const = 0;
  // The rectangle the window has when it is neither maximized nor minimized; it stays
  // known while the window is maximized.
  virtual WindowRectangle NormalRectangle() const = 0;
  virtual void SetNormalRectangle(const WindowRectangle& rectangle) = 0;
  virtual bool IsMaximized() const = 0;
  virtual void Maximize() = 0;
  // Whether the point lies on a monitor (not the nearest one: a removed monitor's area
  // answers no).
  virtual bool IsOnAnyMonitor(int x, int y) const = 0;
  // Keeps the window system from choosing the first position, so that a restored
  // rectangle decides.
  virtual void UseDesignedPosition() = 0;
};

}  // namespace userdb::settings
