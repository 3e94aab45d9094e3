// The full box's owner-drawn flat button: a flat face, its kind's picture at (3, 3) and the
// caption centred right of it; a disabled caption embossed. Getting the focus and a click
// fade the face to the highlighted colour and back; an automatic button shows a line that
// sweeps across it until it clicks itself.
#pragma once

#include <QElapsedTimer>
#include <QImage>
#include <QPushButton>
#include <QTimer>
#include <optional>

#include "crash/box/button_kind.h"

namespace userdb::crash {

class FlatButton : public QPushButton {
  Q_OBJECT

 public:
  FlatButton(ButtonKind kind, const QString& caption, QImage picture, QWidget* parent);

  ButtonKind Kind() const { return kind_; }
  // Fades the face to the highlight and back.
  void Flash();
  // The countdown line, at `x` pixels; none removes it.
  void SetCountdownLine(std::optional<int> x);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  void FadeStep();

  const ButtonKind kind_;
  QImage picture_;
  QTimer fade_timer_;
  int fade_step_ = 0;  // 0 the normal face, kFadeSteps the highlight
  bool fading_up_ = false;
  bool flash_back_ = false;  // a flash returns to the normal face at its top
  std::optional<int> countdown_x_;
};

}  // namespace userdb::crash
