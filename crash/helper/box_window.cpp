#include "crash/helper/box_window.h"

#include <QClipboard>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QWindow>

#include "platform/display_text.h"

namespace userdb::crash {

Qt::WindowFlags TopmostDialogFlags(bool resizable) {
  Qt::WindowFlags flags = Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint;
  if (resizable) flags |= Qt::WindowMinMaxButtonsHint;
  return flags;
}

BoxWindow::BoxWindow(const BoxRequest& request, BoxForm form, BoxButtons buttons, bool report_shown)
    : QDialog(nullptr, TopmostDialogFlags(report_shown)),
      request_(request),
      form_(form),
      buttons_(std::move(buttons)),
      report_shown_(report_shown) {
  setAttribute(Qt::WA_DeleteOnClose);
}

void BoxWindow::CloseForGood() {
  closing_for_good_ = true;
  close();
}

void BoxWindow::SetTopmost(bool topmost) {
  // Through the window itself: the widget's own flags would hide it and show it again.
  if (QWindow* window = windowHandle()) window->setFlag(Qt::WindowStaysOnTopHint, topmost);
}

void BoxWindow::ConnectButton(QPushButton* button, ButtonKind kind) {
  button_widgets_.append(button);
  connect(button, &QPushButton::clicked, this, [this, kind] { Clicked(kind); });
}

void BoxWindow::Clicked(ButtonKind kind) {
  emit CommandChosen(ClickCommand(kind, request_.exception.can_continue));
}

void BoxWindow::CloseRequest() {
  const BoxCommand command = CloseRequestCommand(request_.settings.focused_button, buttons_,
                                                 request_.exception.can_continue, form_);
  if (command != BoxCommand::kNothing) emit CommandChosen(command);
}

void BoxWindow::keyPressEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::Copy)) {
    const std::string_view copied =
        ClipboardText(report_shown_, request_.exception.message, report_text_);
    QGuiApplication::clipboard()->setText(
        QString::fromStdString(platform::DisplayUtf8(std::string(copied))));
    return;
  }
  switch (event->key()) {
    case Qt::Key_Escape:
      CloseRequest();
      return;
    case Qt::Key_Left:
    case Qt::Key_Up:
      focusNextPrevChild(false);
      return;
    case Qt::Key_Right:
    case Qt::Key_Down:
      focusNextPrevChild(true);
      return;
    default:
      QDialog::keyPressEvent(event);
  }
}

void BoxWindow::closeEvent(QCloseEvent* event) {
  if (closing_for_good_) {
    event->accept();
    return;
  }
  event->ignore();
  CloseRequest();
}

std::string BoxWindow::Describe() const {
  std::string description = "title: " + windowTitle().toStdString() + "\n";
  QString text = text_;
  description += "text: " + text.replace("\r\n", "|").replace('\n', '|').toStdString() + "\n";
  for (const QPushButton* button : button_widgets_) {
    description += "button: " + button->text().toStdString();
    if (!button->isEnabled()) description += " (disabled)";
    if (focusWidget() == button) description += " (focused)";
    description += "\n";
  }
  return description;
}

}  // namespace userdb::crash
