#include "crash/capture/helper_box.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "crash/box/box_settings.h"
#include "crash/capture/please_wait_progress.h"
#include "crash/capture/process_spawn.h"
#include "crash/helper/box_request.h"
#include "crash/report/compose_bug_report.h"
#include "crash/send/report_saver.h"
#include "platform/message_box.h"
#include "platform/system_error_text.h"

namespace userdb::crash {

namespace {

constexpr int kPollMilliseconds = 200;
// How long a helper that was told to quit may take before it is stopped.
constexpr std::chrono::milliseconds kQuitLimit{1000};

// Report changes go to the helper as they come, from whichever thread made them.
class ReportForwarder : public ReportCallback {
 public:
  explicit ReportForwarder(std::function<void(const std::string&)> send) : send_(std::move(send)) {}
  void ReportChanged(bool, const std::string& text, CaughtException&) override { send_(text); }

 private:
  std::function<void(const std::string&)> send_;
};

// The box's settings and the exception as the box knows them.
BoxRequest BoxRequestFor(CaughtException& exception) {
  BoxRequest request;
  request.settings = ReadBoxSettings(exception.Settings());
  request.exception.message = FormattedExceptionMessage(exception.Facts().object);
  request.exception.frozen = exception.Facts().kind == ExceptionKind::kFreeze;
  request.exception.can_continue = exception.Facts().can_continue;
  request.show_setting = exception.Handling().show_setting;
  request.automatic.close_holds = exception.Handling().auto_close_holds;
  request.automatic.restart_holds = exception.Handling().auto_restart_holds;
  return request;
}

// The save dialog, asked of the helper while the box stays on the screen.
class HelperSaveDialog : public SaveFileDialog {
 public:
  explicit HelperSaveDialog(std::function<std::optional<std::string>(const HelperMessage&)> ask)
      : ask_(std::move(ask)) {}
  std::optional<std::string> Ask(const SaveDialogRequest& request) override {
    return ask_(HelperMessage{std::string(helper::kSaveDialog), {}}
                    .With("title", request.title)
                    .With("folder", request.start_folder)
                    .With("file", request.file_name)
                    .With("filter", request.filter));
  }

 private:
  std::function<std::optional<std::string>(const HelperMessage&)> ask_;
};

}  // namespace

HelperBox::HelperBox(std::string helper_path) : helper_path_(std::move(helper_path)) {}

HelperBox::~HelperBox() {
  Stop();
}

bool HelperBox::Start() {
  if (helper_ != 0) return true;
  // A socket rather than pipes: a write to a helper that is gone fails with EPIPE instead
  // of raising SIGPIPE in whichever thread of the program forwards a report change.
  int ends[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
    start_failure_ = "the crash helper " + helper_path_ + " could not be connected (" +
                     platform::SystemErrorText(errno) + ")";
    return false;
  }
  platform::UniqueFd child_end(ends[1]);
  helper_socket_.Reset(ends[0]);
  const auto child = SpawnProgram({helper_path_, {helper_path_}, child_end.Get(), child_end.Get()});
  if (!child) {
    start_failure_ = "the crash helper " + helper_path_ + " could not be started (" +
                     platform::SystemErrorText(errno) + ")";
    helper_socket_.Reset();
    return false;
  }
  helper_ = *child;
  reader_ = HelperMessageReader();
  return true;
}

void HelperBox::Stop() {
  if (helper_ == 0) return;
  Send(HelperMessage{std::string(helper::kQuit), {}});
  {
    std::lock_guard lock(send_mutex_);
    helper_socket_.Reset();
  }
  const auto limit = std::chrono::steady_clock::now() + kQuitLimit;
  int status = 0;
  while (waitpid(helper_, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() >= limit) {
      kill(helper_, SIGKILL);
      waitpid(helper_, &status, 0);
      break;
    }
    usleep(5000);
  }
  helper_status_ = status;
  helper_ = 0;
}

bool HelperBox::Send(const HelperMessage& message) {
  std::lock_guard lock(send_mutex_);
  if (!helper_socket_.Valid()) return false;
  const std::string bytes = EncodeHelperMessage(message);
  size_t done = 0;
  while (done < bytes.size()) {
    // A helper that stops reading holds up no thread for long.
    pollfd ready{helper_socket_.Get(), POLLOUT, 0};
    if (poll(&ready, 1, 5000) <= 0 || (ready.revents & (POLLERR | POLLHUP))) return false;
    const ssize_t written =
        send(helper_socket_.Get(), bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    done += static_cast<size_t>(written);
  }
  return true;
}

std::optional<HelperMessage> HelperBox::Receive() {
  for (;;) {
    if (auto message = reader_.Next()) return message;
    if (reader_.Broken() || !helper_socket_.Valid()) return std::nullopt;
    pollfd ready{helper_socket_.Get(), POLLIN, 0};
    const int got = poll(&ready, 1, kPollMilliseconds);
    if (heartbeat_) heartbeat_();
    if (got == 0) continue;
    if (got < 0 && errno == EINTR) continue;
    char buffer[4096];
    const ssize_t read_bytes = read(helper_socket_.Get(), buffer, sizeof buffer);
    if (read_bytes < 0 && errno == EINTR) continue;
    if (read_bytes <= 0) return std::nullopt;
    reader_.Feed(std::string_view(buffer, static_cast<size_t>(read_bytes)));
  }
}

std::optional<std::string> HelperBox::AwaitCommand() {
  while (const auto message = Receive()) {
    if (message->verb == helper::kShown) last_shown_ = std::chrono::steady_clock::now();
    if (message->verb == helper::kCommand) return message->Field("name");
  }
  Stop();
  return std::nullopt;
}

std::string HelperBox::EndedWithoutAnswer() const {
  std::string how;
  if (WIFSIGNALED(helper_status_)) {
    how = "killed by signal " + std::to_string(WTERMSIG(helper_status_));
  } else {
    how = "exit status " + std::to_string(WEXITSTATUS(helper_status_));
  }
  return "the crash helper " + helper_path_ + " ended without an answer (" + how + ")";
}

UserDecision HelperBox::Show(CaughtException& exception) {
  not_shown_.clear();
  if (exception.Handling().show_setting == 4) return UserDecision::kNone;
  if (!Start()) {
    not_shown_ = start_failure_;
    return UserDecision::kNone;
  }
  if (!Send(EncodeBoxRequest(BoxRequestFor(exception)))) {
    Stop();
    not_shown_ = EndedWithoutAnswer();
    return UserDecision::kNone;
  }
  ReportForwarder forwarder([this, &exception](const std::string& text) {
    ForwardReport(exception, text, exception.Report().Complete());
  });
  if (exception.Facts().create_bug_report) exception.RegisterReportCallback(&forwarder, false);
  std::optional<std::string> command;
  for (;;) {
    command = AwaitCommand();
    // An "ok" answers a message of the crash reporter, not the box.
    if (command == helper::kOk) continue;
    if (!command ||
        (*command != helper::kSave && *command != helper::kSend && *command != helper::kPrint)) {
      break;
    }
    CarryOut(exception, *command);
  }
  exception.UnregisterReportCallback(&forwarder);
  if (!command) {
    not_shown_ = EndedWithoutAnswer();
    return UserDecision::kNone;
  }
  if (*command == helper::kContinue) return UserDecision::kContinue;
  if (*command == helper::kRestart) return UserDecision::kRestart;
  return UserDecision::kClose;
}

void HelperBox::ForwardReport(CaughtException& exception, const std::string& text, bool complete) {
  const std::vector<ReportEntry> sections = exception.Report().SectionEntries();
  Send(EncodeReport({text, complete, exception.Report().HeaderEntries(), sections}));
  if (please_wait_) Send(EncodeProgress(PleaseWaitProgress(exception)));
}

std::string HelperBox::CompleteReport(CaughtException& exception) {
  const bool wait = exception.Settings().ReadBoolean("PlWaitBox") && !exception.Report().Complete();
  if (wait) ShowPleaseWait(exception);
  std::string report = ComposeBugReport(exception, true);
  if (wait) EndPleaseWait();
  return report;
}

void HelperBox::CarryOut(CaughtException& exception, std::string_view command) {
  bool saved = false;
  if (commands_ != nullptr) {
    HelperSaveDialog dialog([this](const HelperMessage& request) -> std::optional<std::string> {
      if (!Send(request)) return std::nullopt;
      while (const auto answer = Receive()) {
        if (answer->verb != helper::kSavePath) continue;
        const std::string path = answer->Field("path");
        if (path.empty()) return std::nullopt;
        return path;
      }
      return std::nullopt;
    });
    BoxConversation conversation{
        AssistantChannel{[this](const HelperMessage& message) { return Send(message); },
                         [this] { return Receive(); }},
        dialog, [this, &exception] { return CompleteReport(exception); }};
    if (command == helper::kSave) {
      saved = commands_->Save(conversation);
    } else if (command == helper::kSend) {
      commands_->Send(conversation);
    } else {
      commands_->Print(conversation);
    }
  }
  Send(HelperMessage{std::string(helper::kActionDone), {}}.With("saved", saved ? "1" : "0"));
}

void HelperBox::ShowProgress(const ProgressRequest& request) {
  if (Start()) Send(EncodeProgress(request));
}

void HelperBox::ShowMessage(std::string_view caption, std::string_view text) {
  if (!Start()) {
    // Without its window the message still reaches whoever looks.
    platform::StandardErrorMessageBox().Show(caption, text, platform::MessageKind::kError);
    return;
  }
  if (Send(HelperMessage{std::string(helper::kMessage), {}}
               .With("title", std::string(caption))
               .With("text", std::string(text))
               .With("kind", "error"))) {
    AwaitCommand();
  }
  Stop();
}

void HelperBox::ShowPleaseWait(CaughtException& exception) {
  if (helper_ == 0) return;
  please_wait_ = true;
  Send(EncodeProgress(PleaseWaitProgress(exception)));
}

void HelperBox::EndPleaseWait() {
  please_wait_ = false;
  if (helper_ == 0) return;
  Send(HelperMessage{std::string(helper::kProgress), {}}.With("done", "1"));
}

}  // namespace userdb::crash
