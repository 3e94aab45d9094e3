#include "app/message_box.h"

#include "app/screen_text.h"

void ShowMessageBox(const QString& title, std::string_view text, QMessageBox::Icon icon) {
  // Without a parent the box is centred on the screen rather than on a window.
  QMessageBox box(icon, title, ScreenText(text), QMessageBox::Ok);
  box.setWindowModality(Qt::ApplicationModal);
  box.exec();
}

void MessageErrorBox::Show(const std::string& title, const std::string& message) {
  ShowMessageBox(ScreenText(title), message, QMessageBox::Critical);
}
