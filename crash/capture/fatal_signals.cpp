#include "crash/capture/fatal_signals.h"

#include <poll.h>
#include <sys/syscall.h>
#include <time.h>
#include <ucontext.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace userdb::crash {

namespace {

// The capture whose handler is installed: the handler finds it here.
std::atomic<FatalSignalCapture*> installed_capture{nullptr};

// The signal this thread is handling; a fault while it is set is a second one.
thread_local volatile sig_atomic_t signal_of_this_thread = 0;

pid_t ThisThread() {
  return static_cast<pid_t>(syscall(SYS_gettid));
}

int64_t MonotonicMilliseconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

void OnFatalSignal(int signal, siginfo_t* info, void* context) {
  if (signal_of_this_thread != 0) EndWithSignal(signal_of_this_thread);
  signal_of_this_thread = signal;
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

FatalSignalCapture::FatalSignalCapture(CaptureChannel& channel, const EmergencyReport& emergency,
                                       std::chrono::milliseconds no_progress_limit)
    : channel_(channel), emergency_(emergency), no_progress_limit_(no_progress_limit) {
  installed_capture.store(this);
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_sigaction = &OnFatalSignal;
  action.sa_flags = SA_SIGINFO | SA_ONSTACK;
  sigemptyset(&action.sa_mask);
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
  const auto& registers = *static_cast<const ucontext_t*>(context);
  CaptureRequest request;
  request.source = CaptureSource::kSignal;
  request.can_continue = false;
  request.signal = signal;
  request.signal_code = info.si_code;
  request.fault_address = reinterpret_cast<uintptr_t>(info.si_addr);
  request.has_context = true;
  request.context = ProcessorContext::Of(registers);
  request.address = request.context.InstructionPointer();
  request.stack_pointer = request.context.StackPointer();
  request.frame_pointer = request.context.FramePointer();
  request.thread = self;
  const int slot = channel_.Submit(request);
  if (slot < 0) EndWithSignal(signal);
  // An answer means that the handling let the process go on, which a fatal signal cannot.
  if (!AwaitAnswer(slot)) emergency_.AppendToFile();
  EndWithSignal(signal);
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
