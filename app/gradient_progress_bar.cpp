#include "app/gradient_progress_bar.h"

#include <QLinearGradient>
#include <QPainter>

namespace userdb::app {

namespace {

const QColor kTrackColor(0xE6, 0xE6, 0xE6);
const QColor kGradientStart(0x00, 0x00, 0x80);  // navy, as the option groups' borders
const QColor kGradientEnd(0x6C, 0xB4, 0xFF);

}  // namespace

GradientProgressBar::GradientProgressBar(QWidget* parent) : QWidget(parent) {
  // Every pixel is painted here: nothing behind the bar needs drawing first.
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void GradientProgressBar::SetTotalParts(int32_t total_parts) {
  ShowChange(progress_.SetTotalParts(total_parts));
}

void GradientProgressBar::SetPartsComplete(int32_t parts_complete) {
  ShowChange(progress_.SetPartsComplete(parts_complete));
}

void GradientProgressBar::ShowChange(bool percentage_changed) {
  if (percentage_changed) repaint();
}

int GradientProgressBar::FilledWidth() const {
  const int percentage = progress_.Percentage();
  if (percentage <= 0) return 0;
  if (percentage >= 100) return width();
  return (width() * percentage + 50) / 100;
}

void GradientProgressBar::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), kTrackColor);
  // The gradient spans the whole bar, so that its colour tells how far the run has come.
  QLinearGradient gradient(0, 0, width(), 0);
  gradient.setColorAt(0, kGradientStart);
  gradient.setColorAt(1, kGradientEnd);
  painter.fillRect(0, 0, FilledWidth(), height(), gradient);
}

}  // namespace userdb::app
