// CaptureException: the capture points' way into the handling. The raising thread describes
// the exception (class chain, message, and, from its record of the throw, where it was raised
// with the registers and stack of that moment), hands it to the handling thread and waits:
// the main thread keeps processing its events meanwhile (through the waiter its program
// installed), any other thread waits on the request's completion. It returns when the
// exception has been handled and the thread may go on (or never, when the handling closed
// or restarted the program).
//
// Not for a signal handler (fatal_signals.h is the way from there).
#pragma once

#include <sys/types.h>

#include <atomic>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

#include "crash/capture/capture_channel.h"
#include "crash/capture/capture_request.h"
#include "crash/report/exception_text.h"
#include "crash/stack/stack_snapshot.h"

namespace userdb::crash {

// What a C++ capture point hands over beside the request.
struct ExceptionDetails {
  std::optional<ExceptionObject> object;
  SavedStack raise_stack;
};

// Waits until `fd` is readable while the calling (main) thread processes its events.
using EventWaiter = std::function<void(int fd)>;

class ExceptionCapture {
 public:
  // How long a thread other than the main thread waits without any progress of the
  // handling before it goes on as if the exception was dropped.
  static constexpr std::chrono::milliseconds kNoProgressLimit{15000};

  ExceptionCapture(CaptureChannel& channel, pid_t main_thread,
                   std::function<void()> release_reserve, std::function<void()> take_reserve,
                   std::function<void()> close_silently);

  void SetEventWaiter(EventWaiter waiter);
  void SetHandlingThread(pid_t thread) { handling_thread_.store(thread); }

  // A C++ exception (`failure` must be set). EAbort and its descendants are never
  // reported: when the thread cannot continue, the program closes silently.
  void Capture(std::exception_ptr failure, CaptureSource source, bool can_continue,
               uintptr_t related_object = 0);

  // The freeze watchdog's capture: kind 1, no object, can continue.
  void CaptureFreeze();

  // A termination that no exception caused, with the run-time's text; `caller`: the
  // registers of the code that called the run-time, where the report starts (none: the
  // calling thread's own).
  void CaptureRuntimeError(const std::string& text, CaptureSource source,
                           const std::optional<ProcessorContext>& caller = std::nullopt);

 private:
  void HandOff(CaptureRequest& request, ExceptionDetails details);
  void Await(int slot);

  CaptureChannel& channel_;
  const pid_t main_thread_;
  const std::function<void()> release_reserve_;
  const std::function<void()> take_reserve_;
  const std::function<void()> close_silently_;
  std::atomic<pid_t> handling_thread_{0};
  std::mutex waiter_mutex_;
  EventWaiter waiter_;
};

}  // namespace userdb::crash
