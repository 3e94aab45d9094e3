// The crash helper's side of the protocol: reads the crash reporter's messages from standard
// input, shows the window each asks for and writes the user's commands to standard output.
// Standard input's end (the crashed program is gone) ends the helper. The report assistants
// of the box's save and send run here too, asked for by the crash reporter.
#pragma once

#include <QObject>
#include <QPointer>
#include <QSocketNotifier>
#include <QString>
#include <memory>
#include <optional>

#include "crash/box/box_commands.h"
#include "crash/box/box_showing.h"
#include "crash/helper/box_fonts.h"
#include "crash/helper/box_request.h"
#include "crash/helper/helper_protocol.h"

class QDialog;
class QWidget;

namespace userdb::crash {

class AssistantRunner;
class BoxWindow;
class ProgressWindow;

class HelperSession : public QObject {
  Q_OBJECT

 public:
  // Reads from `input`, writes to `output` (file descriptors). When `description_file` is
  // not empty, the box describes itself there whenever it changes, and the assistant's pages
  // in `assistant_description_file` (for the tests that drive the real windows).
  HelperSession(int input, int output, QString description_file = {},
                QString assistant_description_file = {});
  ~HelperSession() override;

 private:
  void ReadInput();
  void Perform(const HelperMessage& message);
  void ShowBox(const BoxShowing& showing);
  void Chosen(BoxCommand command);
  void UpdateReport(const HelperMessage& message);
  void ShowMessage(const HelperMessage& message);
  void ShowProgress(const HelperMessage& message);
  void AskForSaveFile(const HelperMessage& message);
  void ActionEnded();
  void RunAssistant(const HelperMessage& message);
  void Quit(int exit_code);
  void Send(const HelperMessage& message);
  void SendCommand(std::string_view command);
  void Shown(QWidget& window);
  void Describe();

  int input_;
  int output_;
  QString description_file_;
  QString assistant_description_file_;
  QSocketNotifier notifier_;
  HelperMessageReader reader_;
  BoxFonts fonts_;
  std::optional<BoxRequest> request_;
  ReportContents report_;
  QPointer<BoxWindow> box_;
  bool box_answered_ = false;  // the box's command went out: it sends one
  bool busy_ = false;          // a save or send of the box is going on
  std::unique_ptr<AssistantRunner> assistant_;
  QPointer<ProgressWindow> progress_;
};

}  // namespace userdb::crash
