// The stack tracing behind the report: each listed thread's call stack traced (TraceStack,
// stack_trace.h) from its registers, its stack snapshot and its creation address, and handed
// to the report as the items of its call stack.
//
// Not for a signal handler. Traces of several reports take their turns (the function list's
// lock); the stop flag of the report ends a trace at its next check.
#pragma once

#include "crash/report/stack_tracer.h"
#include "crash/stack/trace_context.h"

namespace userdb::crash {

class ThreadStackTracer final : public StackTracer {
 public:
  explicit ThreadStackTracer(TraceServices services) : services_(services) {}

  // The items innermost first, each with its code address (the call instruction, for the
  // innermost item the current instruction), function start, module, unit, function name,
  // line and the function's first line; the innermost item and the creation location are
  // always printed, every traced item is a traced frame (printed without a name too). A
  // thread whose stack cannot be read keeps its current location alone.
  // When a stage of the trace fails, the internal-error text stands for the stack.
  TracedStack TraceStack(const ThreadStackEntry& thread, const std::atomic<bool>& stop) override;

 private:
  TraceServices services_;
};

}  // namespace userdb::crash
