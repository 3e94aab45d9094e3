#include "crash/helper/exception_box_window.h"

#include <QApplication>
#include <QLabel>
#include <QResizeEvent>
#include <QScreen>
#include <QStyle>

#include "crash/box/automatic_button.h"
#include "crash/box/box_texts.h"
#include "crash/box/button_drawing.h"
#include "crash/helper/box_pictures.h"
#include "crash/helper/flat_button.h"
#include "crash/helper/report_viewer.h"
#include "platform/qt/screen_text.h"

namespace userdb::crash {

namespace {

QRect QtRect(const Rect& rect) {
  return QRect(rect.x, rect.y, rect.width, rect.height);
}

Rect RectOf(const QRect& rect) {
  return {rect.x(), rect.y(), rect.width(), rect.height()};
}

constexpr int kNoWrapHeight = 100000;

}  // namespace

QString CaptionWithoutMnemonic(const QString& caption) {
  QString shown;
  for (qsizetype i = 0; i < caption.size(); ++i) {
    if (caption[i] == '&' && i + 1 < caption.size()) ++i;
    shown += caption[i];
  }
  return shown;
}

ExceptionBoxWindow::ExceptionBoxWindow(const BoxRequest& request, bool report_shown,
                                       bool automatic_buttons, const BoxFonts& fonts)
    : BoxWindow(request, BoxForm::kFull,
                FullBoxButtons(request.settings, report_shown, request.exception.can_continue),
                report_shown) {
  setFont(fonts.text);
  const BoxTexts texts = FullBoxTexts(request.settings, request.exception);
  setWindowTitle(platform::ScreenText(texts.title));
  text_ = platform::ScreenText(texts.message);

  const QFontMetrics metrics(fonts.text);
  FullBoxInput input;
  input.buttons = buttons_;
  for (const ButtonKind kind : buttons_.shown) {
    const QString caption =
        CaptionWithoutMnemonic(platform::ScreenText(request.settings.Caption(kind)));
    input.caption_widths[IndexOf(kind)] = metrics.horizontalAdvance(caption);
  }
  input.ugly_buttons = request.settings.ugly_buttons;
  input.big_picture = true;
  input.report_shown = report_shown;
  const QScreen* screen = QGuiApplication::primaryScreen();
  input.screen = RectOf(screen->geometry());
  input.title_bar_height = style()->pixelMetric(QStyle::PM_TitleBarHeight);
  layout_ = LayOutFullBox(input, [&](int wrap_width) {
    const QRect bounds =
        metrics.boundingRect(QRect(0, 0, wrap_width, kNoWrapHeight), Qt::TextWordWrap, text_);
    return Size{bounds.width(), bounds.height()};
  });

  picture_ = new QLabel(this);
  picture_->setPixmap(QPixmap::fromImage(BigPicture()));
  message_ = new QLabel(text_, this);
  message_->setWordWrap(true);
  message_->setTextInteractionFlags(Qt::NoTextInteraction);
  for (const ButtonKind kind : buttons_.shown) {
    const bool cannot_continue = kind == ButtonKind::kContinue && buttons_.continue_disabled;
    auto* button =
        new FlatButton(kind, platform::ScreenText(request.settings.Caption(kind)),
                       cannot_continue ? CantContinuePicture() : ButtonPicture(kind), this);
    button->setEnabled(buttons_.Enabled(kind));
    ConnectButton(button, kind);
    flat_buttons_.push_back(button);
    if (buttons_.focused == kind) {
      button->setDefault(true);
      button->setFocus();
    }
  }
  if (report_shown) viewer_ = new ReportViewer(fonts, this);

  Place(layout_);
  setGeometry(QtRect(layout_.frame));
  if (report_shown) {
    setMinimumSize(layout_.minimum.width, layout_.minimum.height);
  } else {
    setFixedSize(layout_.frame.width, layout_.frame.height);
  }

  countdown_timer_.setInterval(static_cast<int>(kCountdownTick.count()));
  connect(&countdown_timer_, &QTimer::timeout, this, [this] {
    const std::chrono::milliseconds elapsed(countdown_clock_.elapsed());
    const int delay = request_.settings.auto_delay_seconds;
    if (CountdownOver(elapsed, delay)) {
      FlatButton* button = countdown_button_;
      StopCountdown();
      button->click();
      return;
    }
    countdown_button_->SetCountdownLine(CountdownLineX(elapsed, delay, countdown_button_->width()));
  });
  if (automatic_buttons) {
    const auto automatic = AutomaticButton(request.settings, buttons_,
                                           request.exception.can_continue, request.automatic);
    for (FlatButton* button : flat_buttons_) {
      if (automatic && button->Kind() == *automatic) StartCountdown(button);
    }
  }
}

void ExceptionBoxWindow::Place(const FullBoxLayout& layout) {
  if (layout.picture) {
    picture_->setGeometry(QtRect(*layout.picture));
  } else {
    picture_->hide();
  }
  // The label may need a few pixels more than the measure for its last word.
  message_->setGeometry(layout.text.x, layout.text.y, layout.wrap_width, layout.text.height);
  for (const PlacedButton& placed : layout.buttons) {
    for (FlatButton* button : flat_buttons_) {
      if (button->Kind() == placed.kind) button->setGeometry(QtRect(placed.rect));
    }
  }
  if (viewer_ != nullptr && layout.tabs) viewer_->setGeometry(QtRect(*layout.tabs));
}

void ExceptionBoxWindow::resizeEvent(QResizeEvent* event) {
  BoxWindow::resizeEvent(event);
  if (!report_shown_) return;
  Place(ResizedFullBox(layout_, {event->size().width(), event->size().height()}));
}

void ExceptionBoxWindow::StartCountdown(FlatButton* button) {
  countdown_button_ = button;
  button->setFocus();
  countdown_clock_.start();
  countdown_timer_.start();
  // Any focus change away from the button stops the countdown.
  connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
    if (countdown_button_ != nullptr && now != countdown_button_) StopCountdown();
  });
}

void ExceptionBoxWindow::StopCountdown() {
  countdown_timer_.stop();
  if (countdown_button_ != nullptr) countdown_button_->SetCountdownLine(std::nullopt);
  countdown_button_ = nullptr;
}

void ExceptionBoxWindow::Clicked(ButtonKind kind) {
  StopCountdown();
  const auto now = std::chrono::steady_clock::now();
  std::optional<std::chrono::milliseconds> since;
  if (last_flash_)
    since = std::chrono::duration_cast<std::chrono::milliseconds>(now - *last_flash_);
  if (ClickFlashes(kind, since)) {
    last_flash_ = now;
    for (FlatButton* button : flat_buttons_) {
      if (button->Kind() == kind) button->Flash();
    }
  }
  BoxWindow::Clicked(kind);
}

void ExceptionBoxWindow::UpdateReport(const ReportContents& report) {
  BoxWindow::UpdateReport(report);
  if (viewer_ != nullptr) viewer_->Update(report);
}

std::string ExceptionBoxWindow::Describe() const {
  std::string description = BoxWindow::Describe();
  if (viewer_ == nullptr) return description;
  description += "tabs:";
  for (const std::string& name : viewer_->TabNames()) description += " [" + name + "]";
  return description + "\n";
}

}  // namespace userdb::crash
