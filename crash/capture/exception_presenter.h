// The show step of the handling: how a caught exception reaches the user, and what the user
// decided. A window program shows the box through its crash helper; a console program writes
// the report to standard error.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "crash/capture/report_assistant.h"
#include "crash/report/bug_report_file.h"
#include "crash/report/caught_exception.h"
#include "crash/send/report_saver.h"

namespace userdb::crash {

enum class UserDecision {
  kNone,  // nothing was shown that asks (a console, a box that could not be shown)
  kContinue,
  kRestart,
  kClose,
};

// What the box lends its save, send and print: its connection to the user for the assistants, its
// save dialog, and the complete report (waited for with its please-wait box).
struct BoxConversation {
  AssistantChannel channel;
  SaveFileDialog& save_dialog;
  std::function<std::string()> complete_report;
};

// The box's save, send and print, carried out by the handling while the box stays up.
class ReportCommands {
 public:
  virtual ~ReportCommands() = default;
  virtual void Send(BoxConversation& conversation) = 0;
  // Tells whether the report was saved.
  virtual bool Save(BoxConversation& conversation) = 0;
  virtual void Print(BoxConversation& conversation) = 0;
};

class ExceptionPresenter {
 public:
  virtual ~ExceptionPresenter() = default;
  // Shows the exception by its show setting; returns when the user has decided.
  virtual UserDecision Show(CaughtException& exception) = 0;
  // Shows a message of the crash reporter and returns when it was seen.
  virtual void ShowMessage(std::string_view caption, std::string_view text) = 0;
  // Tells that the complete report is being waited for ("PlWaitBox"), and that it is there.
  virtual void ShowPleaseWait(CaughtException& exception) = 0;
  virtual void EndPleaseWait() = 0;
  // Called while the handling waits on the user, so that a raising thread sees it going on.
  virtual void SetHeartbeat(std::function<void()> heartbeat) = 0;
  // Who carries out the box's save, send and print for the exception being shown; none
  // while no box is shown (the buttons do nothing then).
  virtual void SetReportCommands(ReportCommands*) {}
  // The handling of an exception begins (a window may take its time to come up) and ends.
  virtual void Prepare() {}
  virtual void Finish() {}
  // Why the last Show asked nothing of the user although the exception was to be shown (a
  // window program's crash helper could not be started, or ended without an answer); empty
  // when the user answered, or nothing was to be shown.
  virtual std::string WhyNotShown() const { return {}; }
};

// The exception's message as the box shows it: "ExceptMsg" ("FrozenMsg" for a freeze) with
// "%exceptMsg%" filled in by the formatted message.
std::string BoxMessage(CaughtException& exception);

}  // namespace userdb::crash
