// The crash reporter's record of one caught exception: what was caught and where, the
// settings as this exception sees them, its bug report with the callbacks that follow it,
// and whether its report is in the bug report file already.
//
// Shared by whoever holds it (the handling, the box, the report worker); freeing it stops its
// report worker between two parts and waits for it.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "crash/capture/capture_request.h"
#include "crash/capture/processor_context.h"
#include "crash/config/module_settings.h"
#include "crash/config/settings_overlay.h"
#include "crash/report/bug_report.h"
#include "crash/report/exception_text.h"
#include "crash/report/report_services.h"
#include "crash/stack/stack_snapshot.h"

namespace userdb::crash {

enum class ExceptionKind { kNormal = 0, kFreeze = 1, kHidden = 2 };

// What the capture point knew of the exception.
struct ExceptionFacts {
  ExceptionKind kind = ExceptionKind::kNormal;
  std::optional<ExceptionObject> object;
  uintptr_t address = 0;  // 0: none
  pid_t thread = 0;       // the raising thread; 0: the thread creating the record
  uintptr_t stack_pointer = 0;
  uintptr_t frame_pointer = 0;
  std::optional<ProcessorContext> context;
  // Raised by the processor (a fault signal) rather than thrown by the program.
  bool raised_by_processor = false;
  bool can_continue = true;
  bool create_bug_report = true;  // as the filter left it
  CaptureSource source = CaptureSource::kNone;
  uintptr_t related_object = 0;  // the receiver of the event whose handler raised it; 0: none
  // The raising thread's stack as it was where the exception was thrown: the unwinding and
  // the capture have written over it since. (A fault signal's stack stays as it was: the
  // thread waits on its alternate signal stack.)
  SavedStack raise_stack;
  // A report asked for by the trace request: the crash reporter's own threads are listed
  // under their names for it.
  bool trace_request = false;
};

class CaughtException;

// What the filter decided for an exception, and how far its handling has come.
struct HandlingState {
  bool create_screenshot = false;
  bool attach_screenshot = false;  // a copy of create_screenshot, switched by the box
  bool call_handlers = true;
  int show_setting = 0;  // 0 full box, 1 assistant, 2 detail box, 3 simple box, 4 nothing
  std::string show_assistant;
  bool can_continue_allowed = true;  // what the capture point allowed
  // Whether the rule of the last exception times holds for "AutoClose" and "AutoRestart"
  // when the exception is shown: the box then counts down on that button.
  bool auto_close_holds = false;
  bool auto_restart_holds = false;
  std::atomic<int> phase{0};  // 1 to 4
  std::atomic<bool> report_sent{false};
  std::atomic<bool> first_complete_callback_done{false};
  std::atomic<bool> first_automatic_save_done{false};
  // The bug report file that the automatic save wrote the report to; empty until then.
  std::string automatic_save_path;
};

// Told of every change of a report: whether it is complete, its text and the exception.
class ReportCallback {
 public:
  virtual ~ReportCallback() = default;
  virtual void ReportChanged(bool complete, const std::string& text,
                             CaughtException& exception) = 0;
};

class CaughtException {
 public:
  // `settings`: those of the module whose code raised the exception; never null. Without
  // `services` the report cannot be composed.
  explicit CaughtException(std::shared_ptr<const ModuleSettings> settings,
                           ExceptionFacts facts = {}, const ReportServices* services = nullptr);
  ~CaughtException();
  CaughtException(const CaughtException&) = delete;
  CaughtException& operator=(const CaughtException&) = delete;

  // Reads and writes here change the settings of this exception only.
  SettingsOverlay& Settings() { return settings_; }
  const SettingsOverlay& Settings() const { return settings_; }

  const ExceptionFacts& Facts() const { return facts_; }
  // Can-continue may be switched off, and on again only when the capture point allowed it.
  void SetCanContinue(bool can_continue) {
    facts_.can_continue = can_continue && handling_.can_continue_allowed;
  }
  void SetCreateBugReport(bool create) { facts_.create_bug_report = create; }
  HandlingState& Handling() { return handling_; }
  const HandlingState& Handling() const { return handling_; }
  const ReportServices* Services() const { return services_; }
  BugReport& Report() { return report_; }

  // Adds the callback and calls it at once with the report as it is; one already registered
  // only takes the new critical flag. The caller keeps it alive until it is unregistered.
  void RegisterReportCallback(ReportCallback* callback, bool critical);
  void UnregisterReportCallback(ReportCallback* callback);
  // Whether a registered callback needs the complete report before the program may end.
  bool HasCriticalReportCallback() const;

  // Set once the report has been written to the bug report file by the automatic save or
  // the save command, so that sending does not append it a second time.
  void MarkReportSaved() { report_saved_ = true; }
  bool ReportSaved() const { return report_saved_; }

 private:
  struct Registration {
    ReportCallback* callback;
    bool critical;
  };
  void NotifyCallbacks();

  SettingsOverlay settings_;
  ExceptionFacts facts_;
  HandlingState handling_;
  const ReportServices* const services_;
  std::atomic<bool> report_saved_ = false;
  mutable std::mutex callbacks_mutex_;
  std::vector<Registration> callbacks_;
  BugReport report_;  // last: its worker stops before the rest goes
};

}  // namespace userdb::crash
