// Tells a memory fault that is a thread's stack overflowing from any other: the faulting
// address lies in the guard area right below the thread's stack (a pthread stack's guard
// page, the gap the kernel keeps below the main thread's growing stack), close to the stack
// pointer of the faulting thread. The stack pointer of such a thread may lie in the guard
// area itself: its stack is the readable region above.
//
// Not for a signal handler: it reads the process's memory map. The handling asks it while the
// faulting thread waits with its stack still in place.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "platform/memory_map.h"

namespace userdb::crash {

// How far below the lowest address of a stack its guard area reaches: the kernel's gap
// below a growing stack (256 pages), larger than any pthread guard that is not set by hand.
inline constexpr size_t kStackGuardReach = 1024 * 1024;
// How far from the stack pointer an overflowing stack faults: a new frame, or the probe of one.
inline constexpr size_t kOverflowFrameReach = 64 * 1024;

// The stack whose guard area holds `address`: the first readable region above it, when the
// address itself is not readable and that region starts within kStackGuardReach.
std::optional<platform::MemoryRegion> StackAboveGuard(uintptr_t address);

// Whether a fault at `fault_address` of a thread whose stack pointer was `stack_pointer` is its
// stack overflowing: the address lies in the guard area of a stack (StackAboveGuard) that
// reaches past the stack pointer, and the stack pointer lies within kOverflowFrameReach of it.
bool IsStackOverflow(uintptr_t fault_address, uintptr_t stack_pointer);

}  // namespace userdb::crash
