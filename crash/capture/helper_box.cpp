#include "crash/capture/helper_box.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "crash/capture/process_spawn.h"
#include "crash/report/compose_bug_report.h"
#include "platform/module_section.h"
#include "platform/path.h"

namespace userdb::crash {

namespace {

constexpr char kHelperName[] = "userdb-crash-helper";
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

std::string FileNameWithoutExtension(const std::string& name) {
  const size_t dot = name.rfind('.');
  return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

}  // namespace

std::string HelperProgramPath() {
  return platform::FolderPart(platform::ExecutablePath()) + kHelperName;
}

std::string BoxLineBreaks(std::string text) {
  // Positions counted from 1, as the rule says.
  for (size_t p = text.size() >= 10 ? text.size() - 10 : 0; p >= 20; --p) {
    if (text[p - 1] == '.' && p < text.size() && text[p] == ' ') text.replace(p, 1, "\r\n");
  }
  return text;
}

HelperBox::HelperBox(std::string helper_path) : helper_path_(std::move(helper_path)) {}

HelperBox::~HelperBox() {
  Stop();
}

bool HelperBox::Start() {
  if (helper_ != 0) return true;
  // A socket rather than pipes: a write to a helper that is gone fails with EPIPE instead
  // of raising SIGPIPE in whichever thread of the program forwards a report change.
  int ends[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) return false;
  platform::UniqueFd child_end(ends[1]);
  helper_socket_.Reset(ends[0]);
  const auto child = SpawnProgram({helper_path_, {helper_path_}, child_end.Get(), child_end.Get()});
  if (!child) {
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

UserDecision HelperBox::Show(CaughtException& exception) {
  const HandlingState& state = exception.Handling();
  if (state.show_setting == 4 || !Start()) return UserDecision::kNone;
  const SettingsOverlay& settings = exception.Settings();
  const bool can_continue = exception.Facts().can_continue;
  HelperMessage box{std::string(helper::kBox), {}};
  if (state.show_setting == 3) {
    // The simple box: the message under the program's name, and OK.
    box.With("title", FileNameWithoutExtension(settings.Origin().executable_name))
        .With("text", BoxLineBreaks(FormattedExceptionMessage(exception.Facts().object)))
        .With(std::string(can_continue ? helper::kContinue : helper::kClose),
              settings.ReadText("OkBtnTxt"));
  } else {
    box.With("title", settings.ReadText("TitleBar"))
        .With("text", BoxLineBreaks(BoxMessage(exception)));
    if (settings.ReadBoolean("ContinueBtnVis")) {
      box.With(std::string(helper::kContinue), settings.ReadText("ContinueBtnTxt"));
    }
    if (settings.ReadBoolean("RestartBtnVis")) {
      box.With(std::string(helper::kRestart), settings.ReadText("RestartBtnTxt"));
    }
    if (settings.ReadBoolean("CloseBtnVis")) {
      box.With(std::string(helper::kClose), settings.ReadText("CloseBtnTxt"));
    }
  }
  box.With("can-continue", can_continue ? "1" : "0");
  if (!Send(box)) {
    Stop();
    return UserDecision::kNone;
  }
  ReportForwarder forwarder([this](const std::string& text) {
    Send(HelperMessage{std::string(helper::kReport), {}}.With("text", text));
  });
  if (exception.Facts().create_bug_report) exception.RegisterReportCallback(&forwarder, false);
  const std::optional<std::string> command = AwaitCommand();
  exception.UnregisterReportCallback(&forwarder);
  if (!command) return UserDecision::kNone;
  if (*command == helper::kContinue) return UserDecision::kContinue;
  if (*command == helper::kRestart) return UserDecision::kRestart;
  return UserDecision::kClose;
}

void HelperBox::ShowMessage(std::string_view caption, std::string_view text) {
  if (!Start()) return;
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
  const SettingsOverlay& settings = exception.Settings();
  Send(HelperMessage{std::string(helper::kProgress), {}}
           .With("title", settings.ReadText("PlWaitTitle"))
           .With("text", settings.ReadText("PlWaitText"))
           .With("position", "0"));
}

void HelperBox::EndPleaseWait() {
  if (helper_ == 0) return;
  Send(HelperMessage{std::string(helper::kProgress), {}}.With("done", "1"));
}

}  // namespace userdb::crash
