#include "crash/helper/helper_session.h"

#include <unistd.h>

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDialog>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <cerrno>

#include "platform/display_text.h"

namespace userdb::crash {

namespace {

QString ScreenText(const std::string& bytes) {
  return QString::fromStdString(platform::DisplayUtf8(bytes));
}

constexpr Qt::WindowFlags kTopmostDialog =
    Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;

// The boxes: Ctrl+C copies what the box says (its title, its text and its buttons), as a
// message box of the desktop does.
class CopyableBox : public QMessageBox {
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

// The please-wait box: the user cannot close it.
class ProgressWindow : public QDialog {
 public:
  ProgressWindow()
      : QDialog(nullptr, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint |
                             Qt::CustomizeWindowHint) {}

 protected:
  void closeEvent(QCloseEvent* event) override { event->ignore(); }
  void reject() override {}
};

}  // namespace

HelperSession::HelperSession(int input, int output)
    : input_(input), output_(output), notifier_(input, QSocketNotifier::Read) {
  connect(&notifier_, &QSocketNotifier::activated, this, [this] { ReadInput(); });
}

void HelperSession::ReadInput() {
  char buffer[65536];
  const ssize_t got = read(input_, buffer, sizeof buffer);
  if (got < 0 && errno == EINTR) return;
  if (got <= 0) {
    // The crashed program is gone, or ended the talk.
    notifier_.setEnabled(false);
    QApplication::exit(0);
    return;
  }
  reader_.Feed(std::string_view(buffer, static_cast<size_t>(got)));
  while (const auto message = reader_.Next()) Perform(*message);
  if (reader_.Broken()) QApplication::exit(1);
}

void HelperSession::Perform(const HelperMessage& message) {
  if (message.verb == helper::kBox) {
    ShowBox(message);
  } else if (message.verb == helper::kMessage) {
    ShowMessage(message);
  } else if (message.verb == helper::kProgress) {
    ShowProgress(message);
  } else if (message.verb == helper::kQuit) {
    QApplication::exit(0);
  }
  // "report": the report again; the box of this version does not show it.
}

void HelperSession::ShowBox(const HelperMessage& message) {
  if (box_) box_->deleteLater();
  auto* box = new CopyableBox(QMessageBox::NoIcon, ScreenText(message.Field("title")),
                              ScreenText(message.Field("text")), QMessageBox::NoButton, nullptr,
                              kTopmostDialog);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box_ = box;
  const bool can_continue = message.Field("can-continue") == "1";
  // Button captions by command, in the order of the box; a command without caption is not
  // offered.
  QAbstractButton* escape = nullptr;
  QAbstractButton* fallback_escape = nullptr;
  for (const std::string_view command : {helper::kContinue, helper::kRestart, helper::kClose}) {
    const std::string caption = message.Field(command);
    if (caption.empty()) continue;
    QPushButton* button = box->addButton(ScreenText(caption), QMessageBox::ActionRole);
    button->setObjectName(QString::fromStdString(std::string(command)));
    if (command == helper::kContinue) {
      button->setEnabled(can_continue);
      if (can_continue) escape = button;
    }
    if (command == helper::kClose) fallback_escape = button;
  }
  // A close request (Escape, the title bar's close): continue when the exception can be
  // continued, otherwise close the application.
  if (escape == nullptr) escape = fallback_escape;
  box_answered_ = false;
  if (escape != nullptr) {
    box->setEscapeButton(escape);
    box->setDefaultButton(static_cast<QPushButton*>(escape));
  }
  // A click and a close request alike end the box with its clicked button.
  connect(box, &QMessageBox::finished, this, [this, box, escape] {
    QAbstractButton* chosen = box->clickedButton() != nullptr ? box->clickedButton() : escape;
    if (chosen != nullptr) SendCommand(chosen->objectName().toStdString());
  });
  box->show();
  box->raise();
  box->activateWindow();
  if (escape != nullptr) escape->setFocus();
  Shown(*box);
}

void HelperSession::ShowMessage(const HelperMessage& message) {
  auto* box = new CopyableBox(
      message.Field("kind") == "error" ? QMessageBox::Critical : QMessageBox::NoIcon,
      ScreenText(message.Field("title")), ScreenText(message.Field("text")), QMessageBox::Ok,
      nullptr, kTopmostDialog);
  box->setAttribute(Qt::WA_DeleteOnClose);
  connect(box, &QMessageBox::finished, this, [this] { SendCommand(helper::kOk); });
  box->show();
  box->raise();
  box->activateWindow();
  Shown(*box);
}

void HelperSession::ShowProgress(const HelperMessage& message) {
  if (message.Field("done") == "1") {
    if (progress_) progress_->deleteLater();
    return;
  }
  if (!progress_) {
    auto* window = new ProgressWindow;
    window->setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QVBoxLayout(window);
    progress_text_ = new QLabel(window);
    progress_text_->setWordWrap(true);
    progress_text_->setMinimumWidth(220);
    progress_bar_ = new QProgressBar(window);
    progress_bar_->setRange(0, 1000);
    progress_bar_->setTextVisible(false);
    layout->addWidget(progress_text_);
    layout->addSpacing(8);
    layout->addWidget(progress_bar_);
    progress_ = window;
    window->show();
    window->raise();
    Shown(*window);
  }
  progress_->setWindowTitle(ScreenText(message.Field("title")));
  progress_text_->setText(ScreenText(message.Field("text")));
  progress_bar_->setValue(std::atoi(message.Field("position").c_str()));
}

void HelperSession::Shown(QDialog& window) {
  // Told once the window system shows it.
  QTimer::singleShot(0, &window, [this, title = window.windowTitle().toStdString()] {
    Send(HelperMessage{std::string(helper::kShown), {}}.With("title", title));
  });
}

void HelperSession::SendCommand(std::string_view command) {
  if (command != helper::kOk) {
    if (box_answered_) return;
    box_answered_ = true;
  }
  Send(HelperMessage{std::string(helper::kCommand), {}}.With("name", std::string(command)));
}

void HelperSession::Send(const HelperMessage& message) {
  const std::string bytes = EncodeHelperMessage(message);
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t written = write(output_, bytes.data() + done, bytes.size() - done);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      QApplication::exit(1);
      return;
    }
    done += static_cast<size_t>(written);
  }
}

}  // namespace userdb::crash
