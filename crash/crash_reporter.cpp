#include "crash/crash_reporter.h"

#include <unistd.h>

#include "crash/report/compose_bug_report.h"

namespace userdb::crash {

CrashReporter::CrashReporter(SymbolSourceOptions symbol_sources)
    : start_(std::chrono::steady_clock::now()),
      settings_(catalog_, box_),
      folders_(ProcessReportFolders()),
      symbols_(std::move(symbol_sources)),
      routines_(RuntimeRoutines::OfThisProcess(symbols_)),
      threads_(getpid()),
      creation_capture_(threads_),
      thread_states_(&executable_ranges_),
      plugins_(StandardReportPlugins()),
      stack_tracer_(Tracing()),
      disassembler_(Tracing()),
      trace_requests_(*this, threads_) {
  services_.threads = &threads_;
  services_.thread_states = &thread_states_;
  services_.symbols = &symbols_;
  services_.tracer = &stack_tracer_;
  services_.disassembler = &disassembler_;
  services_.plugins = &plugins_;
  services_.program_start = start_;
  services_.headers_built = &headers_built_;
}

CrashReporter::~CrashReporter() = default;

void CrashReporter::ConnectStackTracer(StackTracer& tracer) {
  services_.tracer = &tracer;
}

void CrashReporter::ConnectDisassembler(Disassembler* disassembler) {
  services_.disassembler = disassembler;
}

void CrashReporter::SetClipboard(std::function<void(const std::string&)> put_on_clipboard) {
  std::lock_guard lock(clipboard_mutex_);
  put_on_clipboard_ = std::move(put_on_clipboard);
}

bool CrashReporter::PutOnClipboard(const std::string& text) {
  std::lock_guard lock(clipboard_mutex_);
  if (!put_on_clipboard_) return false;
  put_on_clipboard_(text);
  return true;
}

std::shared_ptr<CaughtException> CrashReporter::NewCaughtException(ExceptionFacts facts,
                                                                   const void* address) {
  if (address == nullptr) address = reinterpret_cast<const void*>(&VostrelTraceProcess);
  std::shared_ptr<const ModuleSettings> settings = settings_.SettingsFor(address);
  if (!settings) return nullptr;
  return std::make_shared<CaughtException>(std::move(settings), std::move(facts), &services_);
}

std::string CrashReporter::TraceReport() {
  const pid_t self = CurrentThreadId();
  // A thread of the crash reporter (the serving thread) stays one; any other caller is one
  // only for this report.
  const ThreadLookup before = threads_.Find(self);
  const bool own_before = before.entry && before.entry->name == kOwnThreadName;
  threads_.EnterOwnThread(self);
  ExceptionFacts facts;
  facts.kind = ExceptionKind::kFreeze;
  facts.thread = self;
  facts.trace_request = true;
  std::string text;
  if (const auto exception = NewCaughtException(std::move(facts), nullptr)) {
    exception->Settings().WriteBoolean("PlWaitBox", false);
    exception->Settings().WriteBoolean("ListThreads", true);
    text = ComposeBugReport(*exception, true);
  }
  if (!own_before) threads_.Remove(self);
  return text;
}

}  // namespace userdb::crash
