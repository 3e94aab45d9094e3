#include "crash/helper/assistant_session.h"

#include <unistd.h>

#include <QApplication>
#include <cerrno>

namespace userdb::crash {

AssistantSession::AssistantSession(int input, int output, QString describe_file)
    : input_(input),
      output_(output),
      describe_file_(std::move(describe_file)),
      notifier_(input, QSocketNotifier::Read) {
  connect(&notifier_, &QSocketNotifier::activated, this, [this] { ReadInput(); });
}

void AssistantSession::ReadInput() {
  char buffer[65536];
  const ssize_t got = read(input_, buffer, sizeof buffer);
  if (got < 0 && errno == EINTR) return;
  if (got <= 0) {
    notifier_.setEnabled(false);
    QApplication::exit(0);
    return;
  }
  reader_.Feed(std::string_view(buffer, static_cast<size_t>(got)));
  while (const auto message = reader_.Next()) Perform(*message);
  if (reader_.Broken()) QApplication::exit(1);
}

void AssistantSession::Perform(const HelperMessage& message) {
  if (message.verb == helper::kQuit) {
    QApplication::exit(0);
    return;
  }
  if (message.verb != helper::kAssistant || runner_) return;
  const std::optional<AssistantRequest> request = DecodeAssistantRequest(message);
  if (!request) {
    // A request it cannot read is one the user cannot answer: cancelled.
    Send(EncodeAssistantAnswer({}));
    return;
  }
  runner_ = std::make_unique<AssistantRunner>(*request, describe_file_,
                                              [this](const AssistantAnswer& answer) {
                                                Send(EncodeAssistantAnswer(answer));
                                                runner_.release()->deleteLater();
                                              });
  runner_->Start();
}

void AssistantSession::Send(const HelperMessage& message) {
  if (!WriteHelperMessage(output_, message)) QApplication::exit(1);
}

}  // namespace userdb::crash
