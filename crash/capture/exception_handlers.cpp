#include "crash/capture/exception_handlers.h"

#include <algorithm>

namespace userdb::crash {

void ExceptionHandlers::AddExceptionHandler(int phase, ExceptionHandler handler) {
  std::lock_guard lock(mutex_);
  exception_handlers_.emplace_back(phase, std::move(handler));
}

void ExceptionHandlers::AddActionHandler(ActionHandler handler) {
  std::lock_guard lock(mutex_);
  action_handlers_.push_back(std::move(handler));
}

void ExceptionHandlers::AddHiddenHandler(ExceptionHandler handler) {
  std::lock_guard lock(mutex_);
  hidden_handlers_.push_back(std::move(handler));
}

bool ExceptionHandlers::FirePhase(int phase, CaughtException& exception, bool handled) const {
  if (!exception.Handling().call_handlers) return handled;
  std::vector<std::pair<int, ExceptionHandler>> handlers;
  {
    std::lock_guard lock(mutex_);
    handlers = exception_handlers_;
  }
  for (const auto& [handler_phase, handler] : handlers) {
    if (handled) break;
    if (handler_phase == phase) handler(exception, handled);
  }
  return handled;
}

bool ExceptionHandlers::FireAction(HandlerAction action, CaughtException& exception) const {
  if (!exception.Handling().call_handlers) return false;
  std::vector<ActionHandler> handlers;
  {
    std::lock_guard lock(mutex_);
    handlers = action_handlers_;
  }
  bool handled = false;
  for (const ActionHandler& handler : handlers) {
    if (handled) break;
    handler(exception, action, handled);
  }
  return handled;
}

bool ExceptionHandlers::FireHidden(CaughtException& exception) const {
  std::vector<ExceptionHandler> handlers;
  {
    std::lock_guard lock(mutex_);
    handlers = hidden_handlers_;
  }
  bool handled = true;
  for (const ExceptionHandler& handler : handlers) handler(exception, handled);
  return handled;
}

bool ExceptionHandlers::HasPhaseHandlers(int phase) const {
  std::lock_guard lock(mutex_);
  return std::any_of(exception_handlers_.begin(), exception_handlers_.end(),
                     [phase](const auto& entry) { return entry.first == phase; });
}

}  // namespace userdb::crash
