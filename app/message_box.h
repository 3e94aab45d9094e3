// Modal message boxes: the window's notices and the error boxes.
#pragma once

#include <QMessageBox>
#include <QString>
#include <string>
#include <string_view>

#include "platform/message_box.h"

namespace userdb::app {

// Shows `text` (the program's 8-bit text) in a box titled `title`, centred on the screen,
// with one "OK" button, and returns when the user has closed it. No other window of the
// program takes input meanwhile.
void ShowMessageBox(const QString& title, std::string_view text,
                    QMessageBox::Icon icon = QMessageBox::NoIcon);

// The program's message boxes as the window shows them: an error with the error icon.
class WindowMessageBox : public platform::MessageBox {
 public:
  void Show(std::string_view caption, std::string_view text, platform::MessageKind kind) override;
};

}  // namespace userdb::app
