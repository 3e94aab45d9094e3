#include "crash/helper/flat_button.h"

#include <QPainter>
#include <QScreen>
#include <QStyleOptionFocusRect>
#include <QStylePainter>

#include "crash/box/button_drawing.h"

namespace userdb::crash {

namespace {

Rgb RgbOf(const QColor& colour) {
  return {static_cast<uint8_t>(colour.red()), static_cast<uint8_t>(colour.green()),
          static_cast<uint8_t>(colour.blue())};
}

QColor ColourOf(Rgb rgb) {
  return QColor(rgb.red, rgb.green, rgb.blue);
}

int BitsPerPixel(const QWidget& widget) {
  const QScreen* screen = widget.screen();
  return screen != nullptr ? screen->depth() : 24;
}

}  // namespace

FlatButton::FlatButton(ButtonKind kind, const QString& caption, QImage picture, QWidget* parent)
    : QPushButton(caption, parent), kind_(kind), picture_(std::move(picture)) {
  setAutoDefault(true);
  setObjectName(QString::number(IndexOf(kind)));
  fade_timer_.setInterval(static_cast<int>(kFadeStepTime.count()));
  connect(&fade_timer_, &QTimer::timeout, this, [this] { FadeStep(); });
}

void FlatButton::Flash() {
  fading_up_ = true;
  flash_back_ = true;
  fade_timer_.start();
}

void FlatButton::SetCountdownLine(std::optional<int> x) {
  countdown_x_ = x;
  update();
}

void FlatButton::focusInEvent(QFocusEvent* event) {
  QPushButton::focusInEvent(event);
  fading_up_ = true;
  flash_back_ = false;
  fade_timer_.start();
}

void FlatButton::focusOutEvent(QFocusEvent* event) {
  QPushButton::focusOutEvent(event);
  fading_up_ = false;
  fade_timer_.start();
}

void FlatButton::FadeStep() {
  fade_step_ += fading_up_ ? 1 : -1;
  if (fade_step_ >= kFadeSteps) {
    fade_step_ = kFadeSteps;
    if (flash_back_ && !hasFocus()) {
      fading_up_ = false;
    } else {
      fade_timer_.stop();
    }
    flash_back_ = false;
  } else if (fade_step_ <= 0) {
    fade_step_ = 0;
    fade_timer_.stop();
  }
  update();
}

void FlatButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QPalette& colours = palette();
  const Rgb system_face = RgbOf(colours.color(QPalette::Button));
  const Rgb normal = FlatFaceColour(system_face, BitsPerPixel(*this), isEnabled());
  // The highlighted face: a light tint of the selection colour over the flat face.
  constexpr int kTintSteps = 2;
  const Rgb highlight = FadeColour(normal, RgbOf(colours.color(QPalette::Highlight)), kTintSteps);
  const QColor face = ColourOf(isDown() ? highlight : FadeColour(normal, highlight, fade_step_));
  painter.fillRect(rect(), face);
  painter.setPen(colours.color(QPalette::Mid));
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
  if (isDefault() || hasFocus()) {
    painter.setPen(colours.color(QPalette::Highlight));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
  }

  if (!picture_.isNull())
    painter.drawImage(QPoint(kButtonPicturePosition.x, kButtonPicturePosition.y), picture_);

  const QFontMetrics metrics(font());
  const QString caption = text();
  const Point at = ButtonCaptionPosition(width(), metrics.horizontalAdvance(caption));
  const QRect caption_rect(at.x, at.y, width() - at.x, metrics.height());
  const int flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextShowMnemonic;
  if (isEnabled()) {
    painter.setPen(colours.color(QPalette::ButtonText));
    painter.drawText(caption_rect, flags, caption);
  } else {
    painter.setPen(Qt::white);
    painter.drawText(caption_rect.translated(1, 1), flags, caption);
    painter.setPen(colours.color(QPalette::Dark));
    painter.drawText(caption_rect, flags, caption);
  }

  if (hasFocus()) {
    QStyleOptionFocusRect focus;
    focus.initFrom(this);
    focus.rect = rect().adjusted(2, 2, -2, -2);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
  }
  if (countdown_x_) {
    painter.setPen(colours.color(QPalette::Highlight));
    painter.drawLine(*countdown_x_, 1, *countdown_x_, height() - 2);
  }
}

}  // namespace userdb::crash
