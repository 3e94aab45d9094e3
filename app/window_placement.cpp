#include "app/window_placement.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>

namespace userdb::app {

namespace {

settings::WindowRectangle Rectangle(const QRect& rect) {
  return {rect.x(), rect.y(), rect.x() + rect.width(), rect.y() + rect.height()};
}

QSize WithoutFrame(QSize outer, const QMargins& frame) {
  return outer.shrunkBy(frame).expandedTo(QSize(0, 0));
}

}  // namespace

WindowPlacement::WindowPlacement(QWidget& window) : window_(window) {
  window_.installEventFilter(this);
}

void WindowPlacement::SetMinimumOuterSize(QSize size) {
  minimum_outer_size_ = size;
  ApplyMinimumSize();
}

settings::WindowRectangle WindowPlacement::Bounds() const {
  if (unframed_request_) return *unframed_request_;
  return Rectangle(window_.frameGeometry());
}

settings::WindowRectangle WindowPlacement::NormalRectangle() const {
  if (unframed_request_) return *unframed_request_;
  return Rectangle(window_.normalGeometry().marginsAdded(NormalFrame()));
}

void WindowPlacement::SetNormalRectangle(const settings::WindowRectangle& rectangle) {
  if (!normal_frame_) unframed_request_ = rectangle;
  ApplyRectangle(rectangle);
}

bool WindowPlacement::IsMaximized() const {
  return window_.isMaximized();
}

void WindowPlacement::Maximize() {
  // A window manager maximizes only a window it manages: one that is on the screen.
  if (!IsExposed()) {
    maximize_when_exposed_ = true;
    return;
  }
  window_.setWindowState((window_.windowState() & ~Qt::WindowMinimized) | Qt::WindowMaximized);
}

bool WindowPlacement::IsOnAnyMonitor(int x, int y) const {
  return QGuiApplication::screenAt(QPoint(x, y)) != nullptr;
}

void WindowPlacement::UseDesignedPosition() {
  // A window placed by the program is not placed again by the window manager.
  window_.setAttribute(Qt::WA_Moved);
}

bool WindowPlacement::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (watched == &window_) {
    if (type == QEvent::Show && window_.windowHandle() != nullptr) {
      window_.windowHandle()->installEventFilter(this);
    }
    if (type == QEvent::Move || type == QEvent::Resize || type == QEvent::WindowStateChange) {
      LearnFrame();
    }
  } else if (type == QEvent::Expose && IsExposed()) {
    // The window manager frames a window before it is exposed, and the frame need not come
    // with a move or a resize.
    LearnFrame();
    if (maximize_when_exposed_) {
      maximize_when_exposed_ = false;
      Maximize();
    }
  }
  return false;
}

bool WindowPlacement::IsExposed() const {
  return window_.windowHandle() != nullptr && window_.windowHandle()->isExposed();
}

void WindowPlacement::LearnFrame() {
  // Asked earlier, the window system could only guess the frame, and would keep the guess.
  if (!IsExposed() || (window_.windowState() &
                       (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen))) {
    return;
  }
  const QMargins frame = window_.windowHandle()->frameMargins();
  // Without a window manager there is no frame, and nothing to correct; a frame with a
  // negative side is one the window manager is still building.
  const bool usable = frame.left() >= 0 && frame.top() >= 0 && frame.right() >= 0 &&
                      frame.bottom() >= 0 && !frame.isNull();
  if (!usable || frame == normal_frame_) return;
  normal_frame_ = frame;
  ApplyMinimumSize();
  if (unframed_request_) {
    const settings::WindowRectangle requested = *unframed_request_;
    unframed_request_.reset();
    ApplyRectangle(requested);
  }
}

void WindowPlacement::ApplyRectangle(const settings::WindowRectangle& rectangle) {
  const QSize outer(rectangle.right - rectangle.left, rectangle.bottom - rectangle.top);
  // A window's position includes its frame, its size does not.
  window_.move(rectangle.left, rectangle.top);
  window_.resize(WithoutFrame(outer, NormalFrame()));
}

void WindowPlacement::ApplyMinimumSize() {
  window_.setMinimumSize(WithoutFrame(minimum_outer_size_, NormalFrame()));
}

}  // namespace userdb::app
