// The top level of every thread of the captured creation. An exception that the thread's
// function lets escape goes to the installed thread-failure handler, and the thread ends with
// the result -1. An exception that a thread class's own start code turns into
// std::terminate (std::thread, QThread) can end the thread from there as well, without
// unwinding: the frames between keep their destructors unrun, which is the price of going on
// past a failure that the run-time would end the process for.
#pragma once

#include <cstdint>
#include <exception>

namespace userdb::crash {

// Told of an exception that escaped a thread's function, on that thread.
using ThreadFailureHandler = void (*)(std::exception_ptr failure);

// The handler while one lives (the crash-reporter object owns it).
class ThreadTopCapture {
 public:
  explicit ThreadTopCapture(ThreadFailureHandler handler);
  ~ThreadTopCapture();
  ThreadTopCapture(const ThreadTopCapture&) = delete;
  ThreadTopCapture& operator=(const ThreadTopCapture&) = delete;
};

// The result of a thread whose function failed.
inline void* FailedThreadResult() {
  return reinterpret_cast<void*>(static_cast<intptr_t>(-1));
}

// Runs a thread's function under the top-level capture.
void* RunThreadFunction(void* (*routine)(void*), void* argument);

// Whether the calling thread runs under the top-level capture, and so can be ended.
bool ThisThreadCanEnd();
// Ends the calling thread with FailedThreadResult() (only when ThisThreadCanEnd()).
[[noreturn]] void EndThisThread();

}  // namespace userdb::crash
