#include "crash/helper/simple_box_window.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QStyle>

#include "crash/box/box_texts.h"
#include "crash/box/simple_box_layout.h"
#include "crash/helper/exception_box_window.h"
#include "platform/qt/screen_text.h"

namespace userdb::crash {

namespace {

constexpr int kNoWrapHeight = 100000;

}  // namespace

SimpleBoxWindow::SimpleBoxWindow(const BoxRequest& request, BoxForm form, const BoxFonts& fonts)
    : BoxWindow(request, form, SimpleBoxButtons(form), false) {
  setFont(fonts.text);
  const BoxTexts texts = SimpleBoxTexts(request.settings, request.exception);
  setWindowTitle(platform::ScreenText(texts.title));
  text_ = platform::ScreenText(texts.message);

  const QFontMetrics metrics(fonts.text);
  SimpleBoxInput input;
  input.buttons = buttons_;
  for (const ButtonKind kind : buttons_.shown) {
    input.caption_widths[IndexOf(kind)] = metrics.horizontalAdvance(
        CaptionWithoutMnemonic(platform::ScreenText(ButtonCaption(request.settings, form, kind))));
  }
  input.title_width = metrics.horizontalAdvance(windowTitle());
  const QScreen* screen = QGuiApplication::primaryScreen();
  const QRect geometry = screen->geometry();
  input.screen = {geometry.x(), geometry.y(), geometry.width(), geometry.height()};
  input.title_bar_height = style()->pixelMetric(QStyle::PM_TitleBarHeight);
  const SimpleBoxLayout layout = LayOutSimpleBox(input, [&](int wrap_width) {
    const QRect bounds =
        metrics.boundingRect(QRect(0, 0, wrap_width, kNoWrapHeight), Qt::TextWordWrap, text_);
    return Size{bounds.width(), bounds.height()};
  });

  auto* message = new QLabel(text_, this);
  message->setWordWrap(true);
  message->setGeometry(layout.text.x, layout.text.y, layout.wrap_width, layout.text.height);
  for (const PlacedButton& placed : layout.buttons) {
    auto* button = new QPushButton(
        platform::ScreenText(ButtonCaption(request.settings, form, placed.kind)), this);
    button->setObjectName(QString::number(IndexOf(placed.kind)));
    button->setGeometry(placed.rect.x, placed.rect.y, placed.rect.width, placed.rect.height);
    button->setAutoDefault(true);
    ConnectButton(button, placed.kind);
    if (buttons_.focused == placed.kind) {
      button->setDefault(true);
      button->setFocus();
    }
  }
  setGeometry(layout.frame.x, layout.frame.y, layout.frame.width, layout.frame.height);
  setFixedSize(layout.frame.width, layout.frame.height);
}

}  // namespace userdb::crash
