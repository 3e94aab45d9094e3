#include "crash/helper/progress_window.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QStyle>

#include "crash/box/progress_box_layout.h"
#include "crash/helper/box_pictures.h"
#include "platform/qt/screen_text.h"

namespace userdb::crash {

namespace {

Rect RectOf(const QRect& rect) {
  return {rect.x(), rect.y(), rect.width(), rect.height()};
}

constexpr int kNoWrapHeight = 100000;

}  // namespace

ProgressWindow::ProgressWindow(const BoxFonts& fonts)
    : QDialog(nullptr,
              Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
  setFont(fonts.text);
  setAttribute(Qt::WA_DeleteOnClose);
  picture_ = new QLabel(this);
  picture_->setPixmap(QPixmap::fromImage(PleaseWaitPicture()));
  text_ = new QLabel(this);
  text_->setWordWrap(true);
  bar_ = new QProgressBar(this);
  bar_->setRange(0, kProgressRange);
  bar_->setTextVisible(false);
}

void ProgressWindow::closeEvent(QCloseEvent* event) {
  // Closed by the crash reporter only, never by the user.
  if (!event->spontaneous()) {
    event->accept();
    return;
  }
  event->ignore();
}

int ProgressWindow::BarPosition() const {
  return areas_.BarPosition();
}

void ProgressWindow::Apply(const ProgressRequest& request) {
  setWindowTitle(platform::ScreenText(request.title));
  areas_.Clear();
  for (const ProgressRequest::Area& area : request.areas) areas_.Add(area.text, area.weight);
  areas_.AddDefaultAreaWhenEmpty();
  areas_.SetCurrent(static_cast<size_t>(std::max(request.current_area, 0)));
  if (areas_.Current() == static_cast<size_t>(request.current_area))
    areas_.SetPosition(request.position);
  const QString text = platform::ScreenText(areas_.CurrentText());
  const bool text_changed = text != text_->text();
  text_->setText(text);
  bar_->setValue(areas_.BarPosition());
  if (!placed_ || text_changed) Place(request.activate);
  if (placed_) return;
  placed_ = true;
  if (request.sending) picture_->setPixmap(QPixmap::fromImage(SendingPicture()));
  if (request.activate) {
    show();
    raise();
    activateWindow();
  } else {
    setAttribute(Qt::WA_ShowWithoutActivating);
    show();
  }
}

void ProgressWindow::Place(bool activate) {
  const QFontMetrics metrics(font());
  const QScreen* screen = QGuiApplication::primaryScreen();
  ProgressBoxInput input;
  input.picture = true;
  input.scroll_bar_height = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
  input.activate = activate;
  input.screen = RectOf(screen->geometry());
  input.work_area = RectOf(screen->availableGeometry());
  const ProgressBoxLayout layout = LayOutProgressBox(input, [&](int wrap_width) {
    const QRect bounds = metrics.boundingRect(QRect(0, 0, wrap_width, kNoWrapHeight),
                                              Qt::TextWordWrap, text_->text());
    return Size{bounds.width(), bounds.height()};
  });
  if (layout.picture) {
    picture_->setGeometry(layout.picture->x, layout.picture->y, layout.picture->width,
                          layout.picture->height);
  }
  text_->setGeometry(layout.text.x, layout.text.y, layout.text.width, layout.text.height);
  bar_->setGeometry(layout.bar.x, layout.bar.y, layout.bar.width, layout.bar.height);
  setFixedSize(layout.frame.width, layout.frame.height);
  if (!placed_)
    setGeometry(layout.frame.x, layout.frame.y, layout.frame.width, layout.frame.height);
}

}  // namespace userdb::crash
