// The crash helper's side of the protocol: reads the crash reporter's messages from standard
// input, shows the window each asks for and writes the user's commands to standard output.
// Standard input's end (the crashed program is gone) ends the helper.
#pragma once

#include <QObject>
#include <QPointer>
#include <QSocketNotifier>
#include <QString>
#include <memory>

#include "crash/helper/helper_protocol.h"

class QDialog;
class QLabel;
class QMessageBox;
class QProgressBar;

namespace userdb::crash {

class HelperSession : public QObject {
  Q_OBJECT

 public:
  // Reads from `input`, writes to `output` (file descriptors).
  HelperSession(int input, int output);

 private:
  void ReadInput();
  void Perform(const HelperMessage& message);
  void ShowBox(const HelperMessage& message);
  void ShowMessage(const HelperMessage& message);
  void ShowProgress(const HelperMessage& message);
  void Send(const HelperMessage& message);
  void SendCommand(std::string_view command);
  void Shown(QDialog& window);

  int input_;
  int output_;
  QSocketNotifier notifier_;
  HelperMessageReader reader_;
  QPointer<QMessageBox> box_;
  bool box_answered_ = false;  // the box's command went out: it sends one
  QPointer<QDialog> progress_;
  QLabel* progress_text_ = nullptr;
  QProgressBar* progress_bar_ = nullptr;
};

}  // namespace userdb::crash
