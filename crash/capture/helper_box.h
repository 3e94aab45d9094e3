// The show step of a window program: the crash helper (a program of ours beside the
// executable) draws the box while the handling thread waits for the user's command. The
// helper is started when the handling of an exception begins and quits when it ends; it is
// told what the box needs (its settings, the exception, its form), the report again after
// every change, and answers with the command. Save and send are carried out by the
// handling's report commands while the box stays: the helper shows their assistants and the
// save dialog over the same connection. A helper that does not start or dies leaves the
// decision to the rules of the handling, and says why nothing was shown.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "crash/capture/exception_presenter.h"
#include "crash/capture/helper_program.h"
#include "crash/helper/box_request.h"
#include "crash/helper/helper_protocol.h"
#include "platform/unique_fd.h"

namespace userdb::crash {

class HelperBox : public ExceptionPresenter {
 public:
  explicit HelperBox(std::string helper_path = HelperProgramPath());
  ~HelperBox() override;

  UserDecision Show(CaughtException& exception) override;
  void ShowMessage(std::string_view caption, std::string_view text) override;
  void ShowPleaseWait(CaughtException& exception) override;
  void EndPleaseWait() override;
  void SetHeartbeat(std::function<void()> heartbeat) override { heartbeat_ = std::move(heartbeat); }
  void SetReportCommands(ReportCommands* commands) override { commands_ = commands; }
  void Prepare() override { Start(); }
  void Finish() override { Stop(); }
  std::string WhyNotShown() const override { return not_shown_; }

  // A progress window of its own (the helper is started for it when it does not run); it
  // stays until Finish.
  void ShowProgress(const ProgressRequest& request);

  // For tests and benchmarks: the moment the helper last said its window is shown.
  std::optional<std::chrono::steady_clock::time_point> LastShown() const { return last_shown_; }

 private:
  bool Start();
  void Stop();
  bool Send(const HelperMessage& message);
  // The next message of the helper; none when it is gone.
  std::optional<HelperMessage> Receive();
  // Waits for the helper's command.
  std::optional<std::string> AwaitCommand();
  // The box's save, send or print, carried out by the report commands over this connection.
  void CarryOut(CaughtException& exception, std::string_view command);
  // The report complete, with the please-wait box while it is being finished.
  std::string CompleteReport(CaughtException& exception);
  // Why nothing was asked of the user when the helper ended before it answered.
  std::string EndedWithoutAnswer() const;
  // Tells the helper the report as it is now, and the please-wait box's progress.
  void ForwardReport(CaughtException& exception, const std::string& text, bool complete);

  const std::string helper_path_;
  std::function<void()> heartbeat_;
  ReportCommands* commands_ = nullptr;
  std::atomic<bool> please_wait_{false};
  pid_t helper_ = 0;
  platform::UniqueFd helper_socket_;  // the helper's standard input and output
  HelperMessageReader reader_;
  std::mutex send_mutex_;
  std::optional<std::chrono::steady_clock::time_point> last_shown_;
  std::string not_shown_;      // why the last Show asked nothing; empty when it did
  std::string start_failure_;  // why the last Start could not start the helper
  int helper_status_ = 0;      // the wait status of the helper that ended last
};

}  // namespace userdb::crash
