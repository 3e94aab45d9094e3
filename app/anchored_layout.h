// Controls placed where the window was drawn, each keeping its distances to the edges of
// the client area it is anchored to while the window is resized: anchored left and right
// it grows with the width, anchored right only it moves with the right edge, and likewise
// for top and bottom.
#pragma once

#include <QRect>
#include <QSize>
#include <vector>

class QWidget;

namespace userdb::app {

enum Anchor : int {
  kAnchorLeft = 1,
  kAnchorTop = 2,
  kAnchorRight = 4,
  kAnchorBottom = 8,
};
using Anchors = int;

// Where a control drawn at `designed` in a client area of `designed_client` lies in a
// client area of `client`.
QRect AnchoredGeometry(const QRect& designed, Anchors anchors, QSize designed_client, QSize client);

class AnchoredLayout {
 public:
  explicit AnchoredLayout(QSize designed_client) : designed_client_(designed_client) {}

  // `designed`: the control's rectangle in the client area as drawn. A control whose width
  // follows its text is as wide as its text at any time.
  void Add(QWidget* control, const QRect& designed, Anchors anchors,
           bool width_follows_text = false);

  // Places every control for a client area of `client`.
  void Apply(QSize client) const;

 private:
  struct Placed {
    QWidget* control;
    QRect designed;
    Anchors anchors;
    bool width_follows_text;
  };

  QSize designed_client_;
  std::vector<Placed> controls_;
};

}  // namespace userdb::app
