// The place where a thread's stack snapshot is taken: inside the thread's own handler of the
// thread-state signal (thread_states.h), while the thread stands still, into a buffer that the
// collecting thread gave. Stack tracing fills it in; until then it records nothing.
//
// Runs inside a signal handler: async-signal-safe only (no allocation, no locks, no stdio).
#pragma once

#include <ucontext.h>

#include <cstddef>

namespace userdb::crash {

// Copies what stack tracing needs of the interrupted thread's stack into `buffer` (at most
// `capacity` bytes) and tells how many bytes it used.
size_t SnapshotStack(const ucontext_t& context, std::byte* buffer, size_t capacity);

}  // namespace userdb::crash
