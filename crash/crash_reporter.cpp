#include "crash/crash_reporter.h"

#include <unistd.h>

#include <exception>
#include <thread>

#include "crash/capture/alternate_signal_stack.h"
#include "crash/capture/capture_channel.h"
#include "crash/capture/console_form.h"
#include "crash/capture/emergency_memory.h"
#include "crash/capture/emergency_report.h"
#include "crash/capture/exception_capture.h"
#include "crash/capture/exception_handling.h"
#include "crash/capture/fatal_signals.h"
#include "crash/capture/file_checksum.h"
#include "crash/capture/freeze_watchdog.h"
#include "crash/capture/handling_thread.h"
#include "crash/capture/helper_box.h"
#include "crash/capture/helper_notices.h"
#include "crash/capture/restart_hand_over.h"
#include "crash/capture/runtime_caller.h"
#include "crash/capture/thread_pause.h"
#include "crash/capture/thread_top.h"
#include "crash/capture/throw_record.h"
#include "crash/report/compose_bug_report.h"
#include "crash/report/header_sources.h"
#include "crash/report/report_header_builder.h"
#include "platform/module_section.h"

namespace userdb::crash {

namespace {

// The crash reporter while it lives: the signal handlers' and the thread starts' way to it.
std::atomic<CrashReporter*> installed_reporter{nullptr};

constexpr int kBitFaultExitCode = 1;

}  // namespace

// Everything the capture of unhandled failures installs, in the order of installation; it is
// undone in the reverse order.
struct CrashReporter::Capture {
  Capture(CrashReporter& reporter, ProgramForm form);

  CrashReporter& reporter;
  CaptureChannel channel;
  EmergencyReport emergency;
  EmergencyMemory reserve;
  BugReportFileWriter report_file;
  ThreadPause pause;
  std::unique_ptr<ReportSender> sender;
  ExceptionCapture capture;
  ThrowRecording throws;
  AlternateSignalStack main_signal_stack;
  FatalSignalCapture signals;
  ThreadTopCapture thread_top;
  std::terminate_handler previous_terminate;
  ExceptionHandling handling;
  HandlingThread thread;
  std::unique_ptr<FreezeWatchdog> watchdog;

  ~Capture() {
    watchdog.reset();
    std::set_terminate(previous_terminate);
  }

  // Waits while other threads' failures are being handled, as long as the handling makes
  // progress: the process must not end as if it had succeeded while a failure is handled. The
  // handling of a fatal signal ends the process itself; when it has not within the limit, the
  // process ends by that signal (a failure of another kind: with the close's exit code).
  void AwaitHandlings();
};

void CrashReporter::Capture::AwaitHandlings() {
  // Beyond the signal handler's own limit, after which it saves what it can and ends.
  const auto limit = FatalSignalCapture::kNoProgressLimit + std::chrono::seconds(10);
  uint64_t progress = channel.Progress();
  auto last_progress = std::chrono::steady_clock::now();
  while (channel.InFlight() > 0 || signals.FirstCaughtSignal() != 0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const auto now = std::chrono::steady_clock::now();
    if (channel.Progress() != progress) {
      progress = channel.Progress();
      last_progress = now;
    } else if (now - last_progress >= limit) {
      if (const int signal = signals.FirstCaughtSignal()) EndWithSignal(signal);
      EndProcessAtOnce(1);
    }
  }
}

CrashReporter::Capture::Capture(CrashReporter& owner, ProgramForm /*form*/)
    : reporter(owner),
      report_file(owner.folders_),
      pause({}),
      sender(std::make_unique<ReportSender>(SendServices{
          owner.temporary_folder_, report_file,
          owner.notices_ ? static_cast<platform::MessageBox&>(*owner.notices_) : owner.box_,
          owner.notices_.get(), MailPrograms::FromEnvironment()})),
      capture(
          channel, owner.threads_.MainThread(), [this] { reserve.Release(); },
          [this] { reserve.Take(); }, [] { EndProcessAtOnce(1); }),
      signals(channel, emergency, *owner.faults_),
      thread_top(&CrashReporter::OnThreadFailure),
      previous_terminate(std::set_terminate(&CrashReporter::OnTerminate)),
      handling(HandlingParts{
          owner.settings_, owner.services_, owner.temporary_folder_, report_file, owner.times_,
          *owner.presenter_, owner.handlers_, pause, emergency, channel, &signals, sender.get(),
          [&owner](const std::string& text) { return owner.PutOnClipboard(text); },
          [this] {
            if (watchdog) watchdog->ResetMisses();
          },
          ProgramEnding{platform::ExecutablePath(), ProcessCommandLine(), {}},
          [&owner](const std::string& caption, const std::string& text) {
            owner.ShowProgramMessage(caption, text);
          }}),
      thread(channel, owner.threads_,
             [this](const CaptureRequest& request) { handling.Handle(request); }) {
  capture.SetHandlingThread(thread.Id());
  signals.SetHandlingThread(thread.Id());
  emergency.SetHandlingThread(thread.Id());
  EmergencyPreparation preparation;
  preparation.main_thread = owner.threads_.MainThread();
  preparation.headers_built = &owner.headers_built_;
  preparation.compiler = CompilerText();
  preparation.reporter_version = std::string(kQuorvexVersion);
  if (const std::shared_ptr<ModuleSettings> main = owner.settings_.MainSettings()) {
    preparation.version = main->Origin().executable_file_version;
    const std::vector<std::string> paths = report_file.AutomaticPaths(*main);
    if (!paths.empty()) preparation.report_file = paths.front();
  }
  emergency.Prepare(std::move(preparation));
}

CrashReporter::CrashReporter(ProgramForm form, SymbolSourceOptions symbol_sources)
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
      presenter_(form == ProgramForm::kWindow
                     ? std::unique_ptr<ExceptionPresenter>(std::make_unique<HelperBox>())
                     : std::make_unique<ConsoleForm>()),
      notices_(form == ProgramForm::kWindow ? std::make_unique<HelperNotices>(HelperProgramPath())
                                            : nullptr),
      temporary_folder_(TemporaryFolder::ProcessPath()),
      trace_requests_(*this, threads_) {
  services_.threads = &threads_;
  services_.thread_states = &thread_states_;
  services_.faults = faults_.get();
  services_.symbols = &symbols_;
  services_.tracer = &stack_tracer_;
  services_.disassembler = &disassembler_;
  services_.plugins = &plugins_;
  services_.program_start = start_;
  services_.headers_built = &headers_built_;
  if (StartUp()) capture_ = std::make_unique<Capture>(*this, form);
}

bool CrashReporter::StartUp() {
  if (const auto hand_over = TakeRestartHandOver()) times_.Set(hand_over->times);
  temporary_folder_.Remove();
  start_ = std::chrono::steady_clock::now();
  services_.program_start = start_;
  const std::shared_ptr<ModuleSettings> main = settings_.MainSettings();
  if (!main || !main->ReadBoolean("Enabled")) return false;
  if (main->ReadBoolean("CheckFileCrc")) CheckIntegrity();
  installed_reporter.store(this);
  return true;
}

void CrashReporter::CheckIntegrity() {
  const std::shared_ptr<ModuleSettings> main = settings_.MainSettings();
  if (CheckFileIntegrity(platform::ExecutablePath()) != IntegrityCheck::kDamaged) return;
  presenter_->ShowMessage(main->ReadText("TitleBar"), main->ReadText("BitFaultMsg"));
  _exit(kBitFaultExitCode);
}

CrashReporter::~CrashReporter() {
  if (capture_) capture_->AwaitHandlings();
  capture_.reset();
  installed_reporter.store(nullptr);
}

bool CrashReporter::HandleEscapedException(std::exception_ptr failure, const void* receiver) {
  if (!capture_) return false;
  capture_->capture.Capture(failure, CaptureSource::kEventHandler, true,
                            reinterpret_cast<uintptr_t>(receiver));
  return true;
}

bool CrashReporter::ShowException(std::exception_ptr failure) {
  if (!capture_) return false;
  capture_->capture.Capture(failure, CaptureSource::kShowException, true);
  return true;
}

int CrashReporter::RunMain(const std::function<int()>& body) {
  try {
    return body();
  } catch (...) {
    if (!capture_) throw;
    capture_->capture.Capture(std::current_exception(), CaptureSource::kMainTop, false);
    return 1;
  }
}

void CrashReporter::SetMainThreadCalls(MainThreadCalls calls) {
  {
    std::lock_guard lock(calls_mutex_);
    main_thread_calls_ = calls;
  }
  if (!capture_) return;
  capture_->capture.SetEventWaiter(calls.wait_processing_events);
  capture_->pause.SetPoster(calls.post);
  const std::shared_ptr<ModuleSettings> main = settings_.MainSettings();
  capture_->watchdog.reset();
  if (calls.post && main && main->ReadBoolean("CheckFreeze")) {
    Capture& capture = *capture_;
    capture_->watchdog = std::make_unique<FreezeWatchdog>(
        threads_, calls.post, std::chrono::milliseconds(main->ReadInteger("FreezeTimeout")),
        [&capture] { capture.capture.CaptureFreeze(); });
  }
}

void CrashReporter::ShowProgramMessage(const std::string& caption, const std::string& text) {
  std::lock_guard lock(calls_mutex_);
  platform::MessageBox* const box = main_thread_calls_.message_box;
  if (box == nullptr || !main_thread_calls_.post) return;
  main_thread_calls_.post(
      [box, caption, text] { box->Show(caption, text, platform::MessageKind::kError); });
}

void CrashReporter::OnThreadFailure(std::exception_ptr failure) {
  CrashReporter* const reporter = installed_reporter.load();
  if (reporter == nullptr || !reporter->capture_) std::rethrow_exception(failure);
  reporter->capture_->capture.Capture(failure, CaptureSource::kThreadTop, true);
}

void CrashReporter::OnTerminate() {
  CrashReporter* const reporter = installed_reporter.load();
  if (reporter != nullptr && reporter->capture_) {
    // A worker thread ends where it is; the main thread cannot go on.
    const bool worker = ThisThreadCanEnd() && CurrentThreadId() != reporter->threads_.MainThread();
    ExceptionCapture& capture = reporter->capture_->capture;
    if (const std::exception_ptr failure = std::current_exception()) {
      capture.Capture(failure, CaptureSource::kTerminate, worker);
    } else {
      capture.CaptureRuntimeError({}, CaptureSource::kTerminate, RuntimeCallerContext());
    }
    if (worker) EndThisThread();
  }
  std::abort();
}

void CrashReporter::SetOpenConsoleLine(OpenConsoleLine line) {
  if (auto* console = dynamic_cast<ConsoleForm*>(presenter_.get())) {
    console->SetOpenLine(std::move(line));
  }
}

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
