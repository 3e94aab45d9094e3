// The throw point of every C++ exception: this library defines `__cxa_throw` itself (the
// executable exports it, so that the C++ run-time's own throws and every library's come here
// too) and passes the call on to the C++ run-time's. While recording is on, each thread keeps
// a record of the exception it raised last: the thrown object and its type, the address in
// the raising code, its registers and a copy of its stack, so that a capture point that
// receives only the object reports where it was raised, not where it was caught.
//
// Not for a signal handler.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <typeinfo>
#include <vector>

#include "crash/capture/processor_context.h"
#include "crash/stack/stack_snapshot.h"

namespace userdb::crash {

// The most of the raising thread's stack each record keeps, from the raising code's stack
// pointer up: a copy of this size costs a few microseconds, which every throw pays.
inline constexpr size_t kThrowStackCapacity = 64 * 1024;

struct ThrowRecord {
  const void* object = nullptr;
  const std::type_info* type = nullptr;
  uintptr_t raise_address = 0;  // where the raising code goes on after its call to throw
  ProcessorContext context;     // the raising code's registers at its call to throw
  SavedStack stack;  // the raising thread's stack at the raise, up to kThrowStackCapacity
};

// Recording is on while one lives (the crash-reporter object owns it).
class ThrowRecording {
 public:
  ThrowRecording();
  ~ThrowRecording();
  ThrowRecording(const ThrowRecording&) = delete;
  ThrowRecording& operator=(const ThrowRecording&) = delete;
};

// The calling thread's record of the exception it raised last, when it is `object`; none
// otherwise (another exception came since, or it was cleared).
std::optional<ThrowRecord> LastThrowOfThisThread(const void* object);

// Forgets the calling thread's record, once its exception has been handled.
void ClearLastThrowOfThisThread();

}  // namespace userdb::crash
