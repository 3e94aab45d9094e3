#include "crash/capture/exception_capture.h"

#include <poll.h>

#include <chrono>

#include "crash/capture/exception_object.h"
#include "crash/capture/signal_exception.h"
#include "crash/capture/thread_registry.h"
#include "crash/capture/throw_record.h"

namespace userdb::crash {

namespace {

constexpr std::string_view kSilentClass = "EAbort";

}  // namespace

ExceptionCapture::ExceptionCapture(CaptureChannel& channel, pid_t main_thread,
                                   std::function<void()> release_reserve,
                                   std::function<void()> take_reserve,
                                   std::function<void()> close_silently)
    : channel_(channel),
      main_thread_(main_thread),
      release_reserve_(std::move(release_reserve)),
      take_reserve_(std::move(take_reserve)),
      close_silently_(std::move(close_silently)) {}

void ExceptionCapture::SetEventWaiter(EventWaiter waiter) {
  std::lock_guard lock(waiter_mutex_);
  waiter_ = std::move(waiter);
}

void ExceptionCapture::Capture(std::exception_ptr failure, CaptureSource source, bool can_continue,
                               uintptr_t related_object) {
  if (!failure || CurrentThreadId() == handling_thread_.load()) return;
  const ThrownObject thrown = ThrownObjectOf(failure);
  ExceptionDetails details;
  ExceptionObject object;
  if (thrown.type != nullptr) object.class_chain = ClassChainOf(*thrown.type);
  object.message = MessageOf(failure);
  if (ChainHolds(object.class_chain, kSilentClass)) {
    ClearLastThrowOfThisThread();
    if (!can_continue) close_silently_();
    return;
  }
  details.object = std::move(object);

  CaptureRequest request;
  request.source = source;
  request.can_continue = can_continue;
  request.related_object = related_object;
  if (const auto raised = LastThrowOfThisThread(thrown.address)) {
    request.address = raised->raise_address;
    request.has_context = true;
    request.context = raised->context;
    request.stack_pointer = raised->context.StackPointer();
    request.frame_pointer = raised->context.FramePointer();
    details.raise_stack = std::move(raised->stack);
  }
  HandOff(request, std::move(details));
}

void ExceptionCapture::CaptureFreeze() {
  CaptureRequest request;
  request.kind = 1;
  request.source = CaptureSource::kFreezeWatchdog;
  HandOff(request, ExceptionDetails{});
}

void ExceptionCapture::CaptureRuntimeError(const std::string& text, CaptureSource source,
                                           const std::optional<ProcessorContext>& caller) {
  if (CurrentThreadId() == handling_thread_.load()) return;
  CaptureRequest request;
  request.source = source;
  request.can_continue = false;
  if (caller) {
    // A return address, as at a throw: the call into the run-time is where the program failed.
    request.address = caller->InstructionPointer();
    request.has_context = true;
    request.context = *caller;
    request.stack_pointer = caller->StackPointer();
    request.frame_pointer = caller->FramePointer();
  }
  HandOff(request, ExceptionDetails{RuntimeErrorObject(text), {}});
}

void ExceptionCapture::HandOff(CaptureRequest& request, ExceptionDetails details) {
  release_reserve_();
  request.thread = CurrentThreadId();
  // The handling thread takes it over with the request.
  auto* const handed = new ExceptionDetails(std::move(details));
  request.details = handed;
  const int slot = channel_.Submit(request);
  if (slot >= 0) {
    Await(slot);
    channel_.Release(slot);
  } else {
    delete handed;
  }
  ClearLastThrowOfThisThread();
  take_reserve_();
}

void ExceptionCapture::Await(int slot) {
  const int fd = channel_.SlotFd(slot);
  if (CurrentThreadId() == main_thread_) {
    EventWaiter waiter;
    {
      std::lock_guard lock(waiter_mutex_);
      waiter = waiter_;
    }
    if (waiter) {
      waiter(fd);
      return;
    }
  }
  uint64_t progress = channel_.Progress();
  auto last_progress = std::chrono::steady_clock::now();
  for (;;) {
    pollfd answer{fd, POLLIN, 0};
    if (poll(&answer, 1, 200) > 0) return;
    const auto now = std::chrono::steady_clock::now();
    if (channel_.Progress() != progress) {
      progress = channel_.Progress();
      last_progress = now;
    } else if (now - last_progress >= kNoProgressLimit) {
      return;
    }
  }
}

}  // namespace userdb::crash
