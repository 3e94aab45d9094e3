#include "app/anchored_layout.h"

#include <QWidget>

namespace userdb::app {

namespace {

// One axis: the designed start and length, and how they follow a growth of the client.
struct Span {
  int start;
  int length;
};

Span AnchoredSpan(Span designed, bool near_edge, bool far_edge, int growth) {
  if (near_edge && far_edge) return {designed.start, designed.length + growth};
  if (far_edge) return {designed.start + growth, designed.length};
  return designed;
}

}  // namespace

QRect AnchoredGeometry(const QRect& designed, Anchors anchors, QSize designed_client,
                       QSize client) {
  const Span x = AnchoredSpan({designed.x(), designed.width()}, anchors & kAnchorLeft,
                              anchors & kAnchorRight, client.width() - designed_client.width());
  const Span y = AnchoredSpan({designed.y(), designed.height()}, anchors & kAnchorTop,
                              anchors & kAnchorBottom, client.height() - designed_client.height());
  return QRect(x.start, y.start, x.length, y.length);
}

void AnchoredLayout::Add(QWidget* control, const QRect& designed, Anchors anchors,
                         bool width_follows_text) {
  controls_.push_back({control, designed, anchors, width_follows_text});
}

void AnchoredLayout::Apply(QSize client) const {
  for (const Placed& placed : controls_) {
    QRect designed = placed.designed;
    if (placed.width_follows_text) designed.setWidth(placed.control->sizeHint().width());
    placed.control->setGeometry(
        AnchoredGeometry(designed, placed.anchors, designed_client_, client));
  }
}

}  // namespace userdb::app
