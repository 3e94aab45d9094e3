#include "crash/capture/thread_top.h"

#include <cxxabi.h>
#include <setjmp.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>

namespace userdb::crash {

namespace {

std::atomic<ThreadFailureHandler> installed_handler{nullptr};

// Where EndThisThread jumps to: the top of the running thread function.
thread_local jmp_buf* thread_end_point = nullptr;

}  // namespace

ThreadTopCapture::ThreadTopCapture(ThreadFailureHandler handler) {
  installed_handler.store(handler);
}

ThreadTopCapture::~ThreadTopCapture() {
  installed_handler.store(nullptr);
}

void* RunThreadFunction(void* (*routine)(void*), void* argument) {
  jmp_buf end_point;
  if (setjmp(end_point) != 0) {
    thread_end_point = nullptr;
    return FailedThreadResult();
  }
  thread_end_point = &end_point;
  try {
    void* const result = routine(argument);
    thread_end_point = nullptr;
    return result;
  } catch (abi::__forced_unwind&) {
    // pthread_exit and cancellation unwind through here: they end the thread as asked.
    thread_end_point = nullptr;
    throw;
  } catch (...) {
    const ThreadFailureHandler handler = installed_handler.load();
    if (handler == nullptr) throw;
    handler(std::current_exception());
    thread_end_point = nullptr;
    return FailedThreadResult();
  }
}

bool ThisThreadCanEnd() {
  return thread_end_point != nullptr;
}

void EndThisThread() {
  if (thread_end_point == nullptr) std::abort();
  longjmp(*thread_end_point, 1);
}

}  // namespace userdb::crash
