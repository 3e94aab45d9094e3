// The show step of the handling: how a caught exception reaches the user, and what the user
// decided. A window program shows the box through its crash helper; a console program writes
// the report to standard error.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "crash/report/caught_exception.h"

namespace userdb::crash {

enum class UserDecision {
  kNone,  // nothing was shown that asks (a console, a box that could not be shown)
  kContinue,
  kRestart,
  kClose,
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
  // The handling of an exception begins (a window may take its time to come up) and ends.
  virtual void Prepare() {}
  virtual void Finish() {}
};

// The exception's message as the box shows it: "ExceptMsg" ("FrozenMsg" for a freeze) with
// "%exceptMsg%" filled in by the formatted message.
std::string BoxMessage(CaughtException& exception);

}  // namespace userdb::crash
