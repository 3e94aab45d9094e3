#include "crash/report/caught_exception.h"

#include <algorithm>
#include <utility>

#include "crash/capture/thread_registry.h"

namespace userdb::crash {

CaughtException::CaughtException(std::shared_ptr<const ModuleSettings> settings,
                                 ExceptionFacts facts, const ReportServices* services)
    : settings_(std::move(settings)),
      facts_(std::move(facts)),
      services_(services),
      report_([this] { NotifyCallbacks(); }) {
  if (facts_.thread == 0) facts_.thread = CurrentThreadId();
  handling_.can_continue_allowed = facts_.can_continue;
}

CaughtException::~CaughtException() {
  report_.StopWorker();
}

void CaughtException::RegisterReportCallback(ReportCallback* callback, bool critical) {
  {
    std::lock_guard lock(callbacks_mutex_);
    for (Registration& registration : callbacks_) {
      if (registration.callback == callback) {
        registration.critical = critical;
        return;
      }
    }
    callbacks_.push_back({callback, critical});
  }
  callback->ReportChanged(report_.Complete(), report_.Text(), *this);
}

void CaughtException::UnregisterReportCallback(ReportCallback* callback) {
  std::lock_guard lock(callbacks_mutex_);
  std::erase_if(callbacks_, [callback](const Registration& r) { return r.callback == callback; });
}

bool CaughtException::HasCriticalReportCallback() const {
  std::lock_guard lock(callbacks_mutex_);
  return std::any_of(callbacks_.begin(), callbacks_.end(),
                     [](const Registration& r) { return r.critical; });
}

void CaughtException::NotifyCallbacks() {
  std::vector<Registration> callbacks;
  {
    std::lock_guard lock(callbacks_mutex_);
    callbacks = callbacks_;
  }
  if (callbacks.empty()) return;
  const std::string text = report_.Text();
  const bool complete = report_.Complete();
  for (const Registration& registration : callbacks) {
    registration.callback->ReportChanged(complete, text, *this);
  }
}

}  // namespace userdb::crash
