#include "crash/helper/helper_session.h"

#include <unistd.h>

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <cerrno>

#include "crash/helper/assistant_runner.h"
#include "crash/helper/clipboard_keeper.h"
#include "crash/helper/exception_box_window.h"
#include "crash/helper/progress_window.h"
#include "crash/helper/simple_box_window.h"
#include "platform/qt/copyable_message_box.h"
#include "platform/qt/screen_text.h"

namespace userdb::crash {

namespace {

std::string_view CommandName(BoxCommand command) {
  switch (command) {
    case BoxCommand::kContinue:
      return helper::kContinue;
    case BoxCommand::kRestart:
      return helper::kRestart;
    case BoxCommand::kCloseApplication:
      return helper::kClose;
    case BoxCommand::kSave:
      return helper::kSave;
    case BoxCommand::kSend:
      return helper::kSend;
    case BoxCommand::kPrint:
      return helper::kPrint;
    case BoxCommand::kShowReport:
    case BoxCommand::kNothing:
      break;
  }
  return {};
}

}  // namespace

HelperSession::~HelperSession() = default;

HelperSession::HelperSession(int input, int output, QString description_file,
                             QString assistant_description_file)
    : input_(input),
      output_(output),
      description_file_(std::move(description_file)),
      assistant_description_file_(std::move(assistant_description_file)),
      notifier_(input, QSocketNotifier::Read),
      fonts_(ChooseBoxFonts()) {
  connect(&notifier_, &QSocketNotifier::activated, this, [this] { ReadInput(); });
  if (!description_file_.isEmpty())
    connect(qApp, &QApplication::focusChanged, this, [this] { Describe(); });
}

void HelperSession::ReadInput() {
  char buffer[65536];
  const ssize_t got = read(input_, buffer, sizeof buffer);
  if (got < 0 && errno == EINTR) return;
  if (got <= 0) {
    // The crashed program is gone, or ended the talk.
    notifier_.setEnabled(false);
    Quit(0);
    return;
  }
  reader_.Feed(std::string_view(buffer, static_cast<size_t>(got)));
  while (const auto message = reader_.Next()) Perform(*message);
  if (reader_.Broken()) Quit(1);
}

void HelperSession::Perform(const HelperMessage& message) {
  if (message.verb == helper::kBox) {
    request_ = DecodeBoxRequest(message);
    box_answered_ = false;
    ShowBox(FirstShowing(request_->show_setting, request_->settings.auto_show_report));
  } else if (message.verb == helper::kReport) {
    UpdateReport(message);
  } else if (message.verb == helper::kMessage) {
    ShowMessage(message);
  } else if (message.verb == helper::kProgress) {
    ShowProgress(message);
  } else if (message.verb == helper::kSaveDialog) {
    AskForSaveFile(message);
  } else if (message.verb == helper::kActionDone) {
    ActionEnded();
  } else if (message.verb == helper::kAssistant) {
    RunAssistant(message);
  } else if (message.verb == helper::kQuit) {
    Quit(0);
  }
}

void HelperSession::ShowBox(const BoxShowing& showing) {
  if (box_) box_->CloseForGood();
  BoxWindow* box;
  if (showing.form == BoxForm::kFull) {
    box =
        new ExceptionBoxWindow(*request_, showing.report_shown, showing.automatic_buttons, fonts_);
  } else {
    box = new SimpleBoxWindow(*request_, showing.form, fonts_);
  }
  box_ = box;
  box->UpdateReport(report_);
  connect(box, &BoxWindow::CommandChosen, this, [this](BoxCommand command) { Chosen(command); });
  box->show();
  box->raise();
  box->activateWindow();
  if (showing.error_sound && request_->first_showing) QApplication::beep();
  Shown(*box);
}

void HelperSession::Chosen(BoxCommand command) {
  if (busy_) return;
  switch (command) {
    case BoxCommand::kShowReport:
      ShowBox(ShowingAfterShowReport());
      return;
    case BoxCommand::kSave:
    case BoxCommand::kSend:
    case BoxCommand::kPrint:
      busy_ = true;
      QApplication::setOverrideCursor(Qt::WaitCursor);
      SendCommand(CommandName(command));
      return;
    case BoxCommand::kContinue:
    case BoxCommand::kRestart:
    case BoxCommand::kCloseApplication:
      SendCommand(CommandName(command));
      if (box_) box_->CloseForGood();
      return;
    case BoxCommand::kNothing:
      return;
  }
}

void HelperSession::UpdateReport(const HelperMessage& message) {
  report_ = DecodeReport(message);
  if (!box_) return;
  box_->UpdateReport(report_);
  Describe();
}

void HelperSession::AskForSaveFile(const HelperMessage& message) {
  QApplication::restoreOverrideCursor();
  const QString filter = platform::ScreenText(message.Field("filter"));
  QFileDialog dialog(box_, platform::ScreenText(message.Field("title")),
                     platform::ScreenText(message.Field("folder") + message.Field("file")),
                     filter + " (" + filter + ")");
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  // The report is appended to a chosen file: nothing is overwritten, nothing to ask.
  dialog.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::DontConfirmOverwrite);
  dialog.setWindowFlag(Qt::WindowStaysOnTopHint);
  std::string path;
  if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
    path = dialog.selectedFiles().constFirst().toStdString();
  QApplication::setOverrideCursor(Qt::WaitCursor);
  Send(HelperMessage{std::string(helper::kSavePath), {}}.With("path", path));
}

void HelperSession::ActionEnded() {
  // After save or send the arrow cursor comes back.
  while (QApplication::overrideCursor() != nullptr) QApplication::restoreOverrideCursor();
  busy_ = false;
  if (box_) box_->activateWindow();
}

void HelperSession::RunAssistant(const HelperMessage& message) {
  if (assistant_) return;
  // The assistant's pages take the place of the wait cursor.
  while (QApplication::overrideCursor() != nullptr) QApplication::restoreOverrideCursor();
  const std::optional<AssistantRequest> request = DecodeAssistantRequest(message);
  if (!request) {
    // A request it cannot read is one the user cannot answer: cancelled.
    Send(EncodeAssistantAnswer({}));
    return;
  }
  // The box owns the pages: they stand in front of it, and it is not topmost meanwhile.
  if (box_) box_->SetTopmost(false);
  assistant_ = std::make_unique<AssistantRunner>(
      *request, assistant_description_file_,
      [this](const AssistantAnswer& answer) {
        if (box_) box_->SetTopmost(true);
        QApplication::setOverrideCursor(Qt::WaitCursor);
        Send(EncodeAssistantAnswer(answer));
        assistant_.release()->deleteLater();
      },
      box_);
  assistant_->Start();
}

void HelperSession::ShowMessage(const HelperMessage& message) {
  auto* box = new platform::CopyableMessageBox(
      message.Field("kind") == "error" ? QMessageBox::Critical : QMessageBox::NoIcon,
      platform::ScreenText(message.Field("title")), platform::ScreenText(message.Field("text")),
      QMessageBox::Ok, nullptr, TopmostDialogFlags(false));
  box->setAttribute(Qt::WA_DeleteOnClose);
  connect(box, &QMessageBox::finished, this, [this] { SendCommand(helper::kOk); });
  box->show();
  box->raise();
  box->activateWindow();
  Shown(*box);
}

void HelperSession::ShowProgress(const HelperMessage& message) {
  if (message.Field("done") == "1") {
    if (progress_) progress_->close();
    if (box_) box_->activateWindow();
    return;
  }
  const bool first = !progress_;
  if (first) progress_ = new ProgressWindow(fonts_);
  progress_->Apply(DecodeProgress(message));
  if (first) Shown(*progress_);
}

void HelperSession::Shown(QWidget& window) {
  // Told once the window system shows it.
  QTimer::singleShot(0, &window, [this, &window] {
    Send(HelperMessage{std::string(helper::kShown), {}}.With("title",
                                                             window.windowTitle().toStdString()));
    Describe();
  });
}

void HelperSession::Describe() {
  if (description_file_.isEmpty() || !box_) return;
  QFile file(description_file_);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return;
  file.write(QByteArray::fromStdString(box_->Describe()));
}

void HelperSession::Quit(int exit_code) {
  HandClipboardToKeeper(QCoreApplication::applicationFilePath());
  QApplication::exit(exit_code);
}

void HelperSession::SendCommand(std::string_view command) {
  // Save, send and print leave the box up; the box answers once with the user's decision.
  if (command != helper::kOk && command != helper::kSave && command != helper::kSend &&
      command != helper::kPrint) {
    if (box_answered_) return;
    box_answered_ = true;
  }
  Send(HelperMessage{std::string(helper::kCommand), {}}.With("name", std::string(command)));
}

void HelperSession::Send(const HelperMessage& message) {
  if (!WriteHelperMessage(output_, message)) QApplication::exit(1);
}

}  // namespace userdb::crash
