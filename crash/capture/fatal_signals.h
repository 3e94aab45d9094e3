// The fatal signals SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT and SIGSYS, captured on each
// thread's alternate stack: the handler hands the signal, its code, the faulting address and
// the thread's registers to the handling thread and waits for it with async-signal-safe
// calls only. It never turns a crash into a hang: when the handling makes no progress for
// the time limit (a lock that the crashed thread held, a helper that does not start), or the
// request cannot be handed over, the handler saves the report itself (emergency_report.h) and
// the process ends with the signal's default action, so that a core dump or the system's
// crash handler still happen. A second fault while a thread handles one, or on the handling
// thread itself, ends the process with the signal being handled, never loops.
//
// The handler is async-signal-safe; the constructor and destructor are not.
#pragma once

#include <sys/types.h>
#include <ucontext.h>

#include <array>
#include <atomic>
#include <chrono>
#include <csignal>

#include "crash/capture/capture_channel.h"
#include "crash/capture/emergency_report.h"
#include "crash/capture/fault_registry.h"

namespace userdb::crash {

inline constexpr std::array<int, 6> kFatalSignals = {SIGSEGV, SIGBUS,  SIGFPE,
                                                     SIGILL,  SIGABRT, SIGSYS};

class FatalSignalCapture {
 public:
  static constexpr std::chrono::milliseconds kNoProgressLimit{15000};

  // Installs the handlers (at most one capture at a time); the previous ones come back when
  // it ends.
  FatalSignalCapture(CaptureChannel& channel, EmergencyReport& emergency, FaultRegistry& faults,
                     std::chrono::milliseconds no_progress_limit = kNoProgressLimit);
  ~FatalSignalCapture();
  FatalSignalCapture(const FatalSignalCapture&) = delete;
  FatalSignalCapture& operator=(const FatalSignalCapture&) = delete;

  // The crash reporter's handling thread: a fault there is a failure of the crash reporter.
  void SetHandlingThread(pid_t thread) { handling_thread_.store(thread); }
  // The signal whose capture is being handled now; 0 for none.
  void SetSignalInHandling(int signal) { signal_in_handling_.store(signal); }
  int SignalInHandling() const { return signal_in_handling_.load(); }
  // The signal of the first thread that caught one; 0 while none did. Such a thread never goes
  // on: the process ends by its handling.
  int FirstCaughtSignal() const { return first_caught_signal_.load(); }

  // For the handler only.
  [[noreturn]] void Handle(int signal, const siginfo_t& info, const void* context);

 private:
  bool AwaitAnswer(int slot) const;
  // Saves the report here, or waits while another faulting thread does and ends the process.
  void SaveInEmergency(const FaultFacts& fault);

  CaptureChannel& channel_;
  EmergencyReport& emergency_;
  FaultRegistry& faults_;
  const std::chrono::milliseconds no_progress_limit_;
  std::atomic<pid_t> handling_thread_{0};
  std::atomic<int> signal_in_handling_{0};
  std::atomic<int> first_caught_signal_{0};
  std::array<struct sigaction, kFatalSignals.size()> previous_{};
};

// Ends the process by `signal` with its default action. Async-signal-safe.
[[noreturn]] void EndWithSignal(int signal);

// The calling thread's registers at its fault while it handles a fatal signal; null otherwise.
// Async-signal-safe: a thread asked for its state from inside that handling answers with them,
// as the handler's own frames are not where the thread failed.
const ucontext_t* FaultContextOfThisThread();

}  // namespace userdb::crash
