// The crash reporter of this process: the one object that owns everything the crash reporter
// keeps for the whole process (the settings of the modules, the box its own messages go to,
// the folders of the bug report file, the thread registry with the capture of thread creation,
// the collection of thread states with their stack snapshots, the module list and the symbol
// cache, what stack tracing keeps (the analysed functions, the run-time routines, the
// executable segments), the stack tracer and the disassembler of the report, the report
// plug-ins, the serving of trace requests, the table of the last exception times, the
// temporary folder, and, while it is installed, the capture of unhandled failures: the
// capture points, the throw records, the fatal-signal handlers with the alternate stacks,
// the handling thread and its channel, the emergency reserve, the handlers, the pausing of
// threads and the freeze watchdog).
//
// Its construction is the crash reporter's start-up, in this order: the restart hand-over
// (a restarted instance waits for the old one and takes its exception times), the temporary
// folder emptied, the start time, the main settings found, the integrity self-check of the
// executable when "CheckFileCrc" is on (on failure "BitFaultMsg" and the program ends), and,
// when "Enabled" is on, the capture installed. Its destruction is the shut-down: everything
// installed is undone and the handling thread ends.
//
// Lifetime: each program creates it as the first thing in `main`, before any other object
// of the program, and it ends last, when `main` returns; no thread of the crash reporter
// outlives it. There is at most one at a time: while it lives, the signal handlers, the
// thread starts and std::terminate find it through one atomic pointer that its constructor
// sets and its destructor clears. Everything it hands out by reference is valid while it
// lives; settings that a caught exception holds (shared) stay valid beyond it, its report is
// composed only while the crash reporter lives.
//
// Nothing here may be called inside a signal handler: the parts that may, say so in their
// own headers.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "crash/capture/console_form.h"
#include "crash/capture/exception_handlers.h"
#include "crash/capture/exception_presenter.h"
#include "crash/capture/exception_times.h"
#include "crash/capture/fault_registry.h"
#include "crash/capture/main_thread_calls.h"
#include "crash/capture/thread_creation_capture.h"
#include "crash/capture/thread_registry.h"
#include "crash/capture/thread_states.h"
#include "crash/config/settings_registry.h"
#include "crash/report/caught_exception.h"
#include "crash/report/function_disassembler.h"
#include "crash/report/report_folders.h"
#include "crash/report/report_plugins.h"
#include "crash/report/report_services.h"
#include "crash/report/thread_stack_tracer.h"
#include "crash/send/temporary_folder.h"
#include "crash/stack/executable_ranges.h"
#include "crash/stack/function_list.h"
#include "crash/stack/runtime_routines.h"
#include "crash/stack/symbol_lookup.h"
#include "crash/trace/trace_request_server.h"
#include "crash/trace/trace_target.h"
#include "platform/message_box.h"

namespace userdb::crash {

class HelperNotices;

// How the program shows a caught exception: a window program through the crash helper's
// box, a console program on standard error.
enum class ProgramForm { kWindow, kConsole };

class CrashReporter : public TraceTarget {
 public:
  // `symbol_sources`: where symbols are read from (benchmarks leave the libraries' separate
  // debug files out, as on a machine without debug packages).
  explicit CrashReporter(ProgramForm form = ProgramForm::kConsole,
                         SymbolSourceOptions symbol_sources = {});
  ~CrashReporter() override;
  CrashReporter(const CrashReporter&) = delete;
  CrashReporter& operator=(const CrashReporter&) = delete;

  // The settings of the process's modules, parsed when first asked for.
  SettingsRegistry& Settings() { return settings_; }
  // Where the automatic save keeps the bug report file.
  const ReportFolders& Folders() const { return folders_; }
  // Where the crash reporter's own messages go ("Quorvex" boxes): standard error until the
  // crash reporter has a window of its own.
  platform::MessageBox& Box() { return box_; }
  // The modules met so far and their symbol tables, for naming code addresses.
  SymbolLookup& Symbols() { return symbols_; }
  // The threads of the process with their names; the thread that created the crash reporter
  // is the main thread.
  ThreadRegistry& Threads() { return threads_; }
  // What the composition of reports uses.
  const ReportServices& Services() const { return services_; }

  // What stack traces of this process use.
  TraceServices Tracing() { return {symbols_, functions_, routines_}; }

  // Put in place of the stack tracing and the disassembler of the report (null: no
  // "disassembling" section), as tests need.
  void ConnectStackTracer(StackTracer& tracer);
  void ConnectDisassembler(Disassembler* disassembler);

  // Where a trace request with a maximum length below 1 puts its report: the window's
  // clipboard, reached through its main thread. Without one the request is answered with
  // "no clipboard".
  void SetClipboard(std::function<void(const std::string&)> put_on_clipboard);

  // A record of a caught exception with the settings of the code at `address` (the crash
  // reporter's own settings for 0).
  std::shared_ptr<CaughtException> NewCaughtException(ExceptionFacts facts, const void* address);

  // Whether the capture of unhandled failures is installed (valid main settings with
  // "Enabled" on).
  bool Installed() const { return capture_ != nullptr; }

  // The capture points that the program calls; each tells whether the crash reporter took
  // the failure (when it is not installed the program handles it itself). An exception that
  // escaped an event handler (`receiver`: the object the event was sent to) and one that the
  // program shows can both be continued: the call returns when the handling is done.
  bool HandleEscapedException(std::exception_ptr failure, const void* receiver);
  bool ShowException(std::exception_ptr failure);
  // Runs the program's main: a failure that escapes it cannot be continued.
  int RunMain(const std::function<int()>& body);

  // What a program with an event loop lets the crash reporter ask of its main thread.
  void SetMainThreadCalls(MainThreadCalls calls);
  // Handlers that the program registers (this program: none).
  ExceptionHandlers& Handlers() { return handlers_; }
  // The table of the last ten exception times.
  ExceptionTimes& Times() { return times_; }
  // Where the crash reporter shows exceptions and its own messages.
  ExceptionPresenter& Presenter() { return *presenter_; }
  // The line that a console program keeps open on standard error (its progress line), hidden
  // while a report is written there; an empty one once it is gone, which waits for a report
  // being written. A window program has none.
  void SetOpenConsoleLine(OpenConsoleLine line);

  // TraceTarget: the report of a trace request, composed on the calling thread.
  std::string TraceReport() override;
  bool PutOnClipboard(const std::string& text) override;

 private:
  struct Capture;
  // Tells whether the capture is to be installed.
  bool StartUp();
  void CheckIntegrity();
  // The program's own message box on its main thread, not waited for.
  void ShowProgramMessage(const std::string& caption, const std::string& text);
  static void OnThreadFailure(std::exception_ptr failure);
  static void OnTerminate();

  std::chrono::steady_clock::time_point start_;
  ProcessModuleCatalog catalog_;
  platform::StandardErrorMessageBox box_;
  SettingsRegistry settings_;
  ReportFolders folders_;
  SymbolLookup symbols_;
  FunctionList functions_;
  const RuntimeRoutines routines_;
  ExecutableRanges executable_ranges_;
  ThreadRegistry threads_;
  ThreadCreationCapture creation_capture_;
  ThreadStateCollector thread_states_;
  // Not in this object, which lives on the main thread's stack: a copy of a fault's registers
  // there would stand in that stack's trace as a return address.
  const std::unique_ptr<FaultRegistry> faults_ = std::make_unique<FaultRegistry>();
  ReportPlugins plugins_;
  ThreadStackTracer stack_tracer_;
  FunctionDisassembler disassembler_;
  std::atomic<uint32_t> headers_built_{0};
  ReportServices services_;
  std::mutex clipboard_mutex_;
  std::function<void(const std::string&)> put_on_clipboard_;
  std::unique_ptr<ExceptionPresenter> presenter_;
  std::unique_ptr<HelperNotices> notices_;  // a window program's send messages; else none
  TemporaryFolder temporary_folder_;
  ExceptionTimes times_;
  ExceptionHandlers handlers_;
  std::mutex calls_mutex_;
  MainThreadCalls main_thread_calls_;
  TraceRequestServer trace_requests_;
  std::unique_ptr<Capture> capture_;  // last: undone first
};

}  // namespace userdb::crash
