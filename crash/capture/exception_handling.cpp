#include "crash/capture/exception_handling.h"

#include <unistd.h>

#include <cctype>
#include <csignal>
#include <cstdio>

#include "crash/capture/box_not_shown.h"
#include "crash/capture/box_report_commands.h"
#include "crash/capture/exception_capture.h"
#include "crash/capture/exception_filter.h"
#include "crash/capture/restart_hand_over.h"
#include "crash/capture/signal_exception.h"
#include "crash/capture/stack_overflow.h"
#include "crash/report/compose_bug_report.h"
#include "crash/send/screenshot.h"
#include "platform/module_section.h"
#include "platform/path.h"

namespace userdb::crash {

namespace {

constexpr int kCloseExitCode = 1;
constexpr int kRestartExitCode = 2;

// The automatic actions, once the report is complete: send, and the clipboard.
class AutomaticActionsCallback : public ReportCallback {
 public:
  explicit AutomaticActionsCallback(std::function<void(const std::string&)> act)
      : act_(std::move(act)) {}
  void ReportChanged(bool complete, const std::string& text, CaughtException& exception) override {
    if (!complete || exception.Handling().first_complete_callback_done.exchange(true)) return;
    act_(text);
  }

 private:
  std::function<void(const std::string&)> act_;
};

// Keeps the emergency copy of the report, and tells that the handling goes on.
class ReportFollower : public ReportCallback {
 public:
  explicit ReportFollower(std::function<void(bool, const std::string&)> follow)
      : follow_(std::move(follow)) {}
  void ReportChanged(bool complete, const std::string& text, CaughtException&) override {
    follow_(complete, text);
  }

 private:
  std::function<void(bool, const std::string&)> follow_;
};

std::string ModuleFileName(uintptr_t address) {
  const auto module = platform::ModuleContaining(reinterpret_cast<const void*>(address));
  return module ? platform::FileNamePart(module->path) : std::string();
}

}  // namespace

void EndProcessAtOnce(int exit_code) {
  if (ftrylockfile(stdout) == 0) {
    fflush_unlocked(stdout);
    funlockfile(stdout);
  }
  _exit(exit_code);
}

ExceptionHandling::ExceptionHandling(HandlingParts parts) : parts_(std::move(parts)) {
  if (!parts_.ending.end_process) parts_.ending.end_process = &EndProcessAtOnce;
}

void ExceptionHandling::Handle(const CaptureRequest& request) {
  const std::unique_ptr<const ExceptionDetails> details(request.details);
  parts_.channel.NoteProgress();
  if (parts_.signals != nullptr) parts_.signals->SetSignalInHandling(request.signal);
  try {
    Run(request, details.get());
  } catch (...) {
    // The sequence ends; the request is answered all the same.
  }
  parts_.presenter.Finish();
  parts_.emergency.Update({}, {}, false);
  if (parts_.signals != nullptr) parts_.signals->SetSignalInHandling(0);
}

std::shared_ptr<CaughtException> ExceptionHandling::MakeException(const CaptureRequest& request,
                                                                  const ExceptionDetails* details) {
  ExceptionFacts facts;
  facts.kind = static_cast<ExceptionKind>(request.kind);
  facts.address = request.address;
  facts.thread = request.thread;
  facts.stack_pointer = request.stack_pointer;
  facts.frame_pointer = request.frame_pointer;
  if (request.has_context) facts.context = request.context;
  facts.can_continue = request.can_continue;
  facts.source = request.source;
  facts.related_object = request.related_object;
  if (details != nullptr) {
    facts.object = details->object;
    facts.raise_stack = details->raise_stack;
  }
  if (request.signal != 0) {
    const std::string module = ModuleFileName(request.address);
    SignalMessageFacts signal;
    signal.signal = request.signal;
    signal.code = request.signal_code;
    signal.address = request.address;
    signal.fault_address = request.fault_address;
    signal.write = FaultedOnWriting(request.context.registers[REG_ERR]);
    signal.module = module;
    signal.sent =
        ReportedAsSent(request.signal, request.signal_code, request.signal_sender, getpid());
    signal.sender = request.signal_sender;
    signal.stack_overflow = !signal.sent && request.signal == SIGSEGV &&
                            IsStackOverflow(request.fault_address, request.stack_pointer);
    facts.object = SignalExceptionObject(signal);
    // The address is the instruction that faulted or was to run next, not a return address.
    facts.raised_by_processor = true;
  }
  const void* address = reinterpret_cast<const void*>(request.address);
  if (address == nullptr) address = reinterpret_cast<const void*>(&EndProcessAtOnce);
  std::shared_ptr<ModuleSettings> settings = parts_.settings.SettingsFor(address);
  if (!settings) return nullptr;
  return std::make_shared<CaughtException>(std::move(settings), std::move(facts), &parts_.services);
}

void ExceptionHandling::Run(const CaptureRequest& request, const ExceptionDetails* details) {
  parts_.presenter.Prepare();
  parts_.presenter.SetHeartbeat([this] { parts_.channel.NoteProgress(); });
  // A send of an earlier exception that still runs hands its attachments from there.
  DropEndedSends();
  if (sends_.empty()) parts_.temporary_folder.Remove();
  const std::shared_ptr<CaughtException> exception = MakeException(request, details);
  if (!exception) return;
  ApplyExceptionFilter(*exception);
  HandlingState& state = exception->Handling();
  const SettingsOverlay& settings = exception->Settings();

  state.phase = 1;
  bool handled;
  if (exception->Facts().kind == ExceptionKind::kHidden) {
    handled = parts_.handlers.FireHidden(*exception);
  } else {
    handled = false;
    parts_.times.Add(SystemSeconds());
  }
  handled = parts_.handlers.FirePhase(1, *exception, handled);
  parts_.channel.NoteProgress();

  state.phase = 2;
  ReportFollower follower([this, &exception](bool complete, const std::string& text) {
    KeepEmergencyReport(*exception, complete, text);
    parts_.channel.NoteProgress();
  });
  if (!handled) {
    if (exception->Facts().kind != ExceptionKind::kFreeze && settings.ReadBoolean("PauseThreads")) {
      parts_.pause.Pause();
    }
    // An earlier exception's screenshot is never this one's.
    screenshot_.reset();
    if (state.create_screenshot) screenshot_ = TakeScreenshot(ScreenshotOptions{});
    if (exception->Facts().create_bug_report) {
      exception->RegisterReportCallback(&follower, false);
      StartBugReport(*exception, WorkerPlacement::kOwnThread);
    }
    handled = parts_.handlers.FirePhase(2, *exception, handled);
  }
  parts_.channel.NoteProgress();

  state.phase = exception->Report().Complete() ? 4 : 3;
  if (!handled) handled = parts_.handlers.FirePhase(3, *exception, handled);

  AutomaticActionsCallback automatic(
      [this, &exception](const std::string& text) { SendAutomatically(exception, text); });
  if (!(handled && exception->Facts().can_continue)) {
    UserDecision decision = UserDecision::kNone;
    if (!handled) {
      if (settings.ReadBoolean("AutoSave") || settings.ReadBoolean("AutoSend") ||
          settings.ReadBoolean("AutoClip")) {
        exception->RegisterReportCallback(&automatic, true);
      }
      NoteAutomaticRules(*exception);
      BoxReportCommands commands(
          exception, ReportCommandParts{parts_.handlers, form_cache_, screenshot_,
                                        parts_.temporary_folder, parts_.report_file, parts_.sender,
                                        [this](SendHandle send) { KeepSend(std::move(send)); }});
      parts_.presenter.SetReportCommands(&commands);
      decision = parts_.presenter.Show(*exception);
      parts_.presenter.SetReportCommands(nullptr);
      if (decision == UserDecision::kNone) TellBoxNotShown(exception);
    }
    Decide(exception, decision);
    if (!handled) RunAutomaticActions(exception, false);
  }
  exception->UnregisterReportCallback(&automatic);
  exception->UnregisterReportCallback(&follower);
  if (parts_.reset_freeze_misses) parts_.reset_freeze_misses();
  parts_.pause.Resume();
}

void ExceptionHandling::NoteAutomaticRules(CaughtException& exception) const {
  const SettingsOverlay& settings = exception.Settings();
  const int64_t now = SystemSeconds();
  HandlingState& state = exception.Handling();
  state.auto_close_holds = parts_.times.RuleHolds(settings.ReadInteger("AutoClose"), now);
  state.auto_restart_holds = parts_.times.RuleHolds(settings.ReadInteger("AutoRestart"), now);
}

void ExceptionHandling::Decide(const std::shared_ptr<CaughtException>& exception,
                               UserDecision decision) {
  const bool can_continue = exception->Facts().can_continue;
  switch (decision) {
    case UserDecision::kRestart:
      Restart(exception);
      return;
    case UserDecision::kClose:
      Close(exception);
      return;
    case UserDecision::kContinue:
      if (can_continue) {
        parts_.handlers.FireAction(HandlerAction::kContinue, *exception);
      } else {
        Close(exception);
      }
      return;
    case UserDecision::kNone:
      break;
  }
  NoteAutomaticRules(*exception);
  if (exception->Handling().auto_close_holds) {
    Close(exception);
  } else if (exception->Handling().auto_restart_holds) {
    Restart(exception);
  } else if (!can_continue) {
    Close(exception);
  } else {
    parts_.handlers.FireAction(HandlerAction::kContinue, *exception);
  }
}

void ExceptionHandling::Close(const std::shared_ptr<CaughtException>& exception) {
  if (parts_.handlers.FireAction(HandlerAction::kClose, *exception)) return;
  RunAutomaticActions(exception, true);
  EndProgram({kCloseExitCode, false});
}

void ExceptionHandling::Restart(const std::shared_ptr<CaughtException>& exception) {
  if (parts_.handlers.FireAction(HandlerAction::kRestart, *exception)) return;
  RunAutomaticActions(exception, true);
  EndProgram({kRestartExitCode, true});
}

void ExceptionHandling::EndProgram(Ending ending) {
  if (ending_) {
    // A failure handled on the way out decided again: its decision is the one carried out.
    *ending_ = ending;
    return;
  }
  ending_ = ending;
  // Failures that other threads raised meanwhile (two threads that faulted at once, a fault
  // while this one was handled) each get their own report before the process ends. Their
  // threads are not answered: they wait until the end, as a fatal signal's thread must.
  const int signal = parts_.signals != nullptr ? parts_.signals->SignalInHandling() : 0;
  CaptureRequest queued;
  for (int handled = 0; handled < CaptureChannel::kSlots && parts_.channel.TryReceive(queued);
       ++handled) {
    Handle(queued);
    if (parts_.signals != nullptr) parts_.signals->SetSignalInHandling(signal);
  }
  parts_.presenter.Finish();
  const Ending decided = *ending_;
  ending_.reset();
  // When the new instance cannot be started, this one ends all the same.
  if (decided.restart) {
    RestartProgram(parts_.ending.executable, parts_.ending.command_line, parts_.times.Get());
  }
  parts_.ending.end_process(decided.exit_code);
}

void ExceptionHandling::RunAutomaticActions(const std::shared_ptr<CaughtException>& exception,
                                            bool waiting) {
  const SettingsOverlay& settings = exception->Settings();
  HandlingState& state = exception->Handling();
  const bool wants_complete = exception->HasCriticalReportCallback() ||
                              (parts_.handlers.HasPhaseHandlers(4) && state.call_handlers);
  if (wants_complete && exception->Facts().create_bug_report) {
    const bool please_wait = settings.ReadBoolean("PlWaitBox") && !exception->Report().Complete();
    if (please_wait) parts_.presenter.ShowPleaseWait(*exception);
    ComposeBugReport(*exception, true);
    if (please_wait) parts_.presenter.EndPleaseWait();
  }
  parts_.channel.NoteProgress();
  if (settings.ReadBoolean("AutoSave") &&
      !(settings.ReadBoolean("AutoSaveIfNotSent") && state.report_sent) &&
      !state.first_automatic_save_done.exchange(true) &&
      !parts_.handlers.FireAction(HandlerAction::kSave, *exception)) {
    // An exception whose filter switched the report off has nothing to save.
    const std::string report = ComposeBugReport(*exception, true);
    if (!report.empty()) {
      parts_.report_file.Write(std::nullopt, report, nullptr, *exception, true,
                               &state.automatic_save_path);
    }
  }
  if (waiting) {
    for (SendHandle& send : sends_) send.Wait();
    sends_.clear();
  }
}

void ExceptionHandling::KeepSend(SendHandle send) {
  DropEndedSends();
  sends_.push_back(std::move(send));
}

void ExceptionHandling::DropEndedSends() {
  std::erase_if(sends_, [](SendHandle& kept) {
    return kept.WaitFor(std::chrono::milliseconds(0)).has_value();
  });
}

void ExceptionHandling::SendAutomatically(const std::shared_ptr<CaughtException>& exception,
                                          const std::string& report) {
  const SettingsOverlay& settings = exception->Settings();
  if (settings.ReadBoolean("AutoSend") && parts_.sender != nullptr &&
      !parts_.handlers.FireAction(HandlerAction::kSend, *exception)) {
    SendRequest request;
    request.report = report;
    if (exception->Handling().attach_screenshot) request.screenshot = screenshot_;
    request.hidden = !settings.ReadBoolean("AutoSendBox");
    request.on_sent = [exception] { exception->Handling().report_sent = true; };
    KeepSend(parts_.sender->Send(exception, std::move(request)));
  }
  if (settings.ReadBoolean("AutoClip") && parts_.put_on_clipboard) parts_.put_on_clipboard(report);
}

void ExceptionHandling::TellBoxNotShown(const std::shared_ptr<CaughtException>& exception) {
  const std::string why = parts_.presenter.WhyNotShown();
  if (why.empty()) return;
  // Saved first, so that the notice can say where; the later runs save nothing again.
  RunAutomaticActions(exception, false);
  const std::string caption = exception->Settings().ReadText("TitleBar");
  const std::string notice = BoxNotShownNotice(why, exception->Handling().automatic_save_path);
  WriteNoticeToStandardError(caption, notice);
  if (exception->Facts().can_continue && parts_.program_message) {
    std::string sentence = notice + ".";
    sentence.front() =
        static_cast<char>(std::toupper(static_cast<unsigned char>(sentence.front())));
    parts_.program_message(caption, BoxMessage(*exception) + "\n\n" + sentence);
  }
}

void ExceptionHandling::KeepEmergencyReport(CaughtException& exception, bool complete,
                                            const std::string& text) {
  const std::vector<std::string> paths = parts_.report_file.AutomaticPaths(exception.Settings());
  parts_.emergency.Update(paths.empty() ? std::string() : paths.front(), text, complete);
}

}  // namespace userdb::crash
