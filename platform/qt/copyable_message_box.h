// A message box of the programs' own windows (the window program's and the crash helper's)
// that copies what it says with Ctrl+C, as a message box of the desktop does: its title,
// its text and its buttons, between rulers.
#pragma once

#include <QAbstractButton>
#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMessageBox>

namespace userdb::platform {

class CopyableMessageBox : public QMessageBox {
 public:
  using QMessageBox::QMessageBox;

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    if (!event->matches(QKeySequence::Copy)) {
      QMessageBox::keyPressEvent(event);
      return;
    }
    const QString ruler = QStringLiteral("---------------------------\n");
    QString copied = ruler + windowTitle() + "\n" + ruler + text() + "\n" + ruler;
    for (QAbstractButton* button : buttons()) copied += button->text().remove('&') + "   ";
    QGuiApplication::clipboard()->setText(copied.trimmed() + "\n" + ruler);
  }
};

}  // namespace userdb::platform
