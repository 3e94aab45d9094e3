// Where the program called into a run-time that now calls the crash reporter back, such as
// std::terminate calling its handler: the registers of the calling code at that call, so that
// the report starts where the program failed rather than in the run-time or in the crash
// reporter.
//
// Not for a signal handler: it unwinds the calling thread's stack with the unwind tables.
#pragma once

#include <optional>

#include "crash/capture/processor_context.h"

namespace userdb::crash {

// Called from the handler (in the module that holds this crash reporter) that a run-time
// module calls: the first frame past the handler's own frames and the run-time's, with its
// return address as the instruction pointer and its stack and frame pointers (and the other
// registers a call keeps) as they were at its call. None when the stack does not show that
// order within a few frames.
std::optional<ProcessorContext> RuntimeCallerContext();

}  // namespace userdb::crash
