// The handling of one captured exception, on the handling thread: the record is made and
// filtered, the phases run with their handler firing points, the screenshot is taken and the
// report started, the exception is shown, and the program continues, restarts or closes, the
// report saved to the bug report file by the automatic actions. A failure inside the
// sequence ends it; the request is answered all the same.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "crash/box/form_cache.h"
#include "crash/capture/capture_channel.h"
#include "crash/capture/emergency_report.h"
#include "crash/capture/exception_handlers.h"
#include "crash/capture/exception_presenter.h"
#include "crash/capture/exception_times.h"
#include "crash/capture/fatal_signals.h"
#include "crash/capture/thread_pause.h"
#include "crash/config/settings_registry.h"
#include "crash/report/bug_report_file.h"
#include "crash/report/caught_exception.h"
#include "crash/send/report_sender.h"
#include "crash/send/temporary_folder.h"

namespace userdb::crash {

// How the program ends by the crash reporter's close and restart.
struct ProgramEnding {
  std::string executable;                 // started again by a restart
  std::vector<std::string> command_line;  // argument 0 first
  // Ends the process with the exit code (close 1, restart 2); by default at once, without
  // any of the program's own shut-down.
  std::function<void(int exit_code)> end_process;
};

// What the handling uses; the crash-reporter object owns all of it.
struct HandlingParts {
  SettingsRegistry& settings;
  const ReportServices& services;
  TemporaryFolder& temporary_folder;
  const BugReportFileWriter& report_file;
  ExceptionTimes& times;
  ExceptionPresenter& presenter;
  const ExceptionHandlers& handlers;
  ThreadPause& pause;
  EmergencyReport& emergency;
  CaptureChannel& channel;
  FatalSignalCapture* signals = nullptr;
  const ReportSender* sender = nullptr;  // none: no automatic send
  std::function<bool(const std::string&)> put_on_clipboard;
  std::function<void()> reset_freeze_misses;
  ProgramEnding ending;
  // Shows a plain message box of the program's own on its main thread, without waiting for
  // it: where the crash reporter's box could not be shown. Empty: the program has none.
  std::function<void(const std::string& caption, const std::string& text)> program_message;
};

class ExceptionHandling {
 public:
  explicit ExceptionHandling(HandlingParts parts);

  // Handles the request and takes over its details.
  void Handle(const CaptureRequest& request);

  // The exception's close and restart, as the box carries them out.
  void Close(const std::shared_ptr<CaughtException>& exception);
  void Restart(const std::shared_ptr<CaughtException>& exception);

 private:
  struct Ending {
    int exit_code;
    bool restart;
  };
  // Carries out a close or a restart once the failures queued behind this one are handled.
  void EndProgram(Ending ending);
  void Run(const CaptureRequest& request, const ExceptionDetails* details);
  std::shared_ptr<CaughtException> MakeException(const CaptureRequest& request,
                                                 const ExceptionDetails* details);
  // Notes in the exception's handling state whether "AutoClose" and "AutoRestart" hold now.
  void NoteAutomaticRules(CaughtException& exception) const;
  void Decide(const std::shared_ptr<CaughtException>& exception, UserDecision decision);
  void RunAutomaticActions(const std::shared_ptr<CaughtException>& exception, bool waiting);
  void SendAutomatically(const std::shared_ptr<CaughtException>& exception,
                         const std::string& report);
  void KeepEmergencyReport(CaughtException& exception, bool complete, const std::string& text);
  // When the box was to be shown but was not, the report is saved and the user told so.
  void TellBoxNotShown(const std::shared_ptr<CaughtException>& exception);
  // Keeps a send for close and restart to wait for.
  void KeepSend(SendHandle send);
  void DropEndedSends();

  HandlingParts parts_;
  std::vector<SendHandle> sends_;
  FormCache form_cache_;  // what the assistants' pages were filled with, for the next ones
  std::optional<ScreenImage> screenshot_;
  std::optional<Ending> ending_;  // while the program ends
};

// Ends the process with `exit_code` at once; what the program printed on standard output
// so far goes out first where no other thread holds the stream.
void EndProcessAtOnce(int exit_code);

}  // namespace userdb::crash
