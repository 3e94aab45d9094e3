// The crash helper started for report assistants alone ("--assistant"): reads "assistant"
// requests from standard input, shows each assistant and answers with "assistant-end";
// "quit" or the end of standard input ends it. A helper that shows the box as well hands
// its "assistant" requests to an AssistantRunner in the same way.
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <QString>
#include <memory>

#include "crash/helper/assistant_runner.h"
#include "crash/helper/helper_protocol.h"

namespace userdb::crash {

inline constexpr char kAssistantArgument[] = "--assistant";

class AssistantSession : public QObject {
  Q_OBJECT

 public:
  // Reads from `input`, writes to `output` (file descriptors); `describe_file`: see
  // AssistantPageWindow.
  AssistantSession(int input, int output, QString describe_file);

 private:
  void ReadInput();
  void Perform(const HelperMessage& message);
  void Send(const HelperMessage& message);

  int input_;
  int output_;
  QString describe_file_;
  QSocketNotifier notifier_;
  HelperMessageReader reader_;
  std::unique_ptr<AssistantRunner> runner_;
};

}  // namespace userdb::crash
