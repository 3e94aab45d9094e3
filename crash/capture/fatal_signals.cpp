#include "crash/capture/fatal_signals.h"

#include <poll.h>
#include <pthread.h>
#include <sys/syscall.h>
#include <time.h>
#include <ucontext.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "crash/capture/emergency_stacks.h"
#include "crash/capture/thread_states.h"

namespace userdb::crash {

namespace {

// The capture whose handler is installed: the handler finds it here.
std::atomic<FatalSignalCapture*> installed_capture{nullptr};

// The signal this thread is handling; a fault while it is set is a second one.
thread_local volatile sig_atomic_t signal_of_this_thread = 0;
thread_local const ucontext_t* fault_context_of_this_thread = nullptr;

pid_t ThisThread() {
  return static_cast<pid_t>(syscall(SYS_gettid));
}

// How long a thread waits while another one saves the emergency report, in tenths of a second.
constexpr int kSaveLimitTenths = 300;

int64_t MonotonicMilliseconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// The signals that ask a thread for its state: held back until the thread's fault is noted,
// so that it answers from its fault, never from the first steps of its handling.
void AddStateRequests(sigset_t& signals) {
  sigaddset(&signals, SIGRTMIN + kThreadStateSignalOffset);
  sigaddset(&signals, SIGRTMIN + kEmergencyStackSignalOffset);
}

void OnFatalSignal(int signal, siginfo_t* info, void* context) {
  if (signal_of_this_thread != 0) EndWithSignal(signal_of_this_thread);
  signal_of_this_thread = signal;
  fault_context_of_this_thread = static_cast<const ucontext_t*>(context);
  sigset_t requests;
  sigemptyset(&requests);
  AddStateRequests(requests);
  pthread_sigmask(SIG_UNBLOCK, &requests, nullptr);
  FatalSignalCapture* const capture = installed_capture.load();
  if (capture == nullptr) EndWithSignal(signal);
  capture->Handle(signal, *info, context);
}

}  // namespace

void EndWithSignal(int signal) {
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  sigaction(signal, &action, nullptr);
  sigset_t unblocked;
  sigemptyset(&unblocked);
  sigaddset(&unblocked, signal);
  syscall(SYS_tgkill, getpid(), ThisThread(), signal);
  sigprocmask(SIG_UNBLOCK, &unblocked, nullptr);
  // Only a signal whose default action does not end the process gets here.
  _exit(128 + signal);
}

const ucontext_t* FaultContextOfThisThread() {
  return fault_context_of_this_thread;
}

FatalSignalCapture::FatalSignalCapture(CaptureChannel& channel, EmergencyReport& emergency,
                                       FaultRegistry& faults,
                                       std::chrono::milliseconds no_progress_limit)
    : channel_(channel),
      emergency_(emergency),
      faults_(faults),
      no_progress_limit_(no_progress_limit) {
  installed_capture.store(this);
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_sigaction = &OnFatalSignal;
  action.sa_flags = SA_SIGINFO | SA_ONSTACK;
  sigemptyset(&action.sa_mask);
  AddStateRequests(action.sa_mask);
  for (size_t i = 0; i < kFatalSignals.size(); ++i) {
    sigaction(kFatalSignals[i], &action, &previous_[i]);
  }
}

FatalSignalCapture::~FatalSignalCapture() {
  for (size_t i = 0; i < kFatalSignals.size(); ++i) {
    sigaction(kFatalSignals[i], &previous_[i], nullptr);
  }
  installed_capture.store(nullptr);
}

void FatalSignalCapture::Handle(int signal, const siginfo_t& info, const void* context) {
  const pid_t self = ThisThread();
  if (self == handling_thread_.load()) {
    const int original = signal_in_handling_.load();
    EndWithSignal(original != 0 ? original : signal);
  }
  int none = 0;
  first_caught_signal_.compare_exchange_strong(none, signal);
  const auto& registers = *static_cast<const ucontext_t*>(context);
  CaptureRequest request;
  request.source = CaptureSource::kSignal;
  request.can_continue = false;
  request.signal = signal;
  request.signal_code = info.si_code;
  request.fault_address = reinterpret_cast<uintptr_t>(info.si_addr);
  // Sent by kill, sigqueue or tgkill: the sender stands where a fault's address would.
  if (info.si_code == SI_USER || info.si_code == SI_QUEUE || info.si_code == SI_TKILL) {
    request.signal_sender = info.si_pid;
  }
  request.has_context = true;
  request.context = ProcessorContext::Of(registers);
  request.address = request.context.InstructionPointer();
  request.stack_pointer = request.context.StackPointer();
  request.frame_pointer = request.context.FramePointer();
  request.thread = self;
  faults_.Record(self, request.context);
  const int slot = channel_.Submit(request);
  // An answer means that the handling let the process go on, which a fatal signal cannot.
  if (slot < 0 || !AwaitAnswer(slot)) {
    SaveInEmergency({signal, info.si_code, request.fault_address, &registers});
  }
  EndWithSignal(signal);
}

void FatalSignalCapture::SaveInEmergency(const FaultFacts& fault) {
  if (emergency_.Save(fault)) return;
  const timespec pause{0, 100 * 1000 * 1000};
  for (int waited = 0; waited < kSaveLimitTenths; ++waited) nanosleep(&pause, nullptr);
}

bool FatalSignalCapture::AwaitAnswer(int slot) const {
  uint64_t progress = channel_.Progress();
  int64_t last_progress = MonotonicMilliseconds();
  for (;;) {
    pollfd answer{channel_.SlotFd(slot), POLLIN, 0};
    const int ready = poll(&answer, 1, 200);
    if (ready > 0) return true;
    if (ready < 0 && errno != EINTR) return false;
    const int64_t now = MonotonicMilliseconds();
    if (channel_.Progress() != progress) {
      progress = channel_.Progress();
      last_progress = now;
    } else if (now - last_progress >= no_progress_limit_.count()) {
      return false;
    }
  }
}

}  // namespace userdb::crash
