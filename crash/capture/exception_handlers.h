// The handlers that a program may register with the crash reporter: exception handlers,
// each bound to a phase of the handling; action handlers, told of an action before it is
// carried out; hidden-exception handlers. A handler may mark the exception handled, which
// stops the remaining handlers and the crash reporter's steps that depend on it. These run
// on the handling thread (synchronisation mode 0). This program registers none: every
// firing point finds nothing to call. Any thread may register; lists are copied under the
// lock and called outside it.
#pragma once

#include <functional>
#include <mutex>
#include <vector>

#include "crash/report/caught_exception.h"

namespace userdb::crash {

// Action codes.
enum class HandlerAction {
  kSend = 0,
  kSave = 1,
  kPrint = 2,
  // The same three once their assistant ended with continue, before the action itself.
  kSendAfterAssistant = 3,
  kSaveAfterAssistant = 4,
  kPrintAfterAssistant = 5,
  kHelp = 7,
  kContinue = 8,
  kRestart = 9,
  kClose = 10,
};

class ExceptionHandlers {
 public:
  // `handled` starts as the exception's state and may be set.
  using ExceptionHandler = std::function<void(CaughtException& exception, bool& handled)>;
  using ActionHandler =
      std::function<void(CaughtException& exception, HandlerAction action, bool& handled)>;

  void AddExceptionHandler(int phase, ExceptionHandler handler);
  void AddActionHandler(ActionHandler handler);
  void AddHiddenHandler(ExceptionHandler handler);

  // Each tells whether the exception is handled afterwards. Nothing runs when the
  // exception's filter switched handlers off.
  bool FirePhase(int phase, CaughtException& exception, bool handled) const;
  bool FireAction(HandlerAction action, CaughtException& exception) const;
  bool FireHidden(CaughtException& exception) const;
  bool HasPhaseHandlers(int phase) const;

 private:
  mutable std::mutex mutex_;
  std::vector<std::pair<int, ExceptionHandler>> exception_handlers_;
  std::vector<ActionHandler> action_handlers_;
  std::vector<ExceptionHandler> hidden_handlers_;
};

}  // namespace userdb::crash
