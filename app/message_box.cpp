#include "app/message_box.h"

#include <QMessageBox>
#include <QScreen>
#include <QTimer>

#include "platform/qt/copyable_message_box.h"
#include "platform/qt/screen_text.h"

namespace userdb::app {

namespace {

void CentreOnScreen(QWidget& box) {
  const QRect screen = box.screen()->availableGeometry();
  const QSize size = box.frameGeometry().size();
  box.move(screen.center() - QPoint(size.width() / 2, size.height() / 2));
}

}  // namespace

void WindowMessageBox::Show(std::string_view caption, std::string_view text,
                            platform::MessageKind kind) {
  const QMessageBox::Icon icon =
      kind == platform::MessageKind::kError ? QMessageBox::Critical : QMessageBox::NoIcon;
  // Without a parent the box is placed on the screen rather than on a window. It settles
  // its size only once shown, so it is centred again then.
  platform::CopyableMessageBox box(icon, platform::ScreenText(caption), platform::ScreenText(text),
                                   QMessageBox::Ok);
  box.setWindowModality(Qt::ApplicationModal);
  QTimer::singleShot(0, &box, [&box] { CentreOnScreen(box); });
  box.exec();
}

}  // namespace userdb::app
