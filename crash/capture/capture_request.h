// The request by which a raising thread hands an exception to the crash reporter's handling
// thread: fixed in size, so that it is written into the handling thread's pipe in one piece,
// from a signal handler too.
#pragma once

#include <sys/types.h>

#include <cstdint>

#include "crash/capture/processor_context.h"

namespace userdb::crash {

// The capture point that caught an exception.
enum class CaptureSource {
  kNone,            // composed without a capture (trace request, tests)
  kEventHandler,    // escaped an event handler of the application (related object: receiver)
  kShowException,   // handed to the program's own "show this exception"
  kThreadTop,       // escaped a thread's function (the thread ends)
  kMainTop,         // escaped main
  kTerminate,       // reached std::terminate
  kSignal,          // a fatal signal
  kFreezeWatchdog,  // the main thread did not answer
};

struct ExceptionDetails;  // what a C++ capture point knew of the exception (not from a signal)

struct CaptureRequest {
  int32_t kind = 0;  // ExceptionKind
  CaptureSource source = CaptureSource::kNone;
  bool can_continue = true;
  bool has_context = false;
  int32_t signal = 0;  // a fatal signal: its number, code and faulting address
  int32_t signal_code = 0;
  uintptr_t fault_address = 0;
  pid_t signal_sender = 0;  // a signal sent by a process: the sender; 0: not told
  uintptr_t address = 0;    // the exception address; 0: none
  uintptr_t stack_pointer = 0;
  uintptr_t frame_pointer = 0;
  uintptr_t related_object = 0;
  pid_t thread = 0;
  int32_t slot = -1;  // the completion slot; -1: the handling thread is to end
  ProcessorContext context;
  // Made by a C++ capture point, taken over (and freed) by the handling thread.
  const ExceptionDetails* details = nullptr;
};

}  // namespace userdb::crash
