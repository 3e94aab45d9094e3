// The window system's side of a top-level window's placement, in outer rectangles (frame
// included, right and bottom exclusive) as the placement saver keeps them.
//
// An X window manager adds its frame only when it takes the window on the screen, so
// before that the frame's size is unknown. A rectangle applied then is taken as if the
// frame were empty and kept as requested; once the window is seen framed in its normal
// state it is applied again with the real frame, so that the outer size ends up as asked.
// Apply a placement before the window is first shown: the window system then creates the
// window where it belongs.
#pragma once

#include <QMargins>
#include <QObject>
#include <QSize>
#include <optional>

#include "settings/placement_window.h"

class QWidget;

namespace userdb::app {

class WindowPlacement : public QObject, public settings::PlacementWindow {
 public:
  // `window`: a top-level widget that outlives this object.
  explicit WindowPlacement(QWidget& window);

  // The smallest outer size the user can give the window.
  void SetMinimumOuterSize(QSize size);

  settings::WindowRectangle Bounds() const override;
  settings::WindowRectangle NormalRectangle() const override;
  // Places the window's outer rectangle; while the window is maximized it takes this
  // rectangle when it is restored.
  void SetNormalRectangle(const settings::WindowRectangle& rectangle) override;
  bool IsMaximized() const override;
  // A window that is not on the screen yet is maximized as soon as it is.
  void Maximize() override;
  bool IsOnAnyMonitor(int x, int y) const override;
  void UseDesignedPosition() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QMargins NormalFrame() const { return normal_frame_.value_or(QMargins()); }
  bool IsExposed() const;
  void LearnFrame();
  void ApplyRectangle(const settings::WindowRectangle& rectangle);
  void ApplyMinimumSize();

  QWidget& window_;
  std::optional<QMargins> normal_frame_;                       // once seen in the normal state
  std::optional<settings::WindowRectangle> unframed_request_;  // applied before the frame was known
  QSize minimum_outer_size_;
  bool maximize_when_exposed_ = false;
};

}  // namespace userdb::app
