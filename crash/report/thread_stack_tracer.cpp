#include "crash/report/thread_stack_tracer.h"

#include <algorithm>

#include "crash/report/code_location.h"
#include "crash/stack/stack_trace.h"

namespace userdb::crash {

namespace {

constexpr char kNoModule[] = "???";

// A traced item as the report prints it: its code address, and with relative lines the
// absolute line and the function's first line taken apart again.
StackItem ReportItem(const TraceItem& traced) {
  StackItem item;
  item.address = traced.code_address;
  if (traced.function_entry != 0) item.function_start = traced.function_entry;
  if (traced.module_name != kNoModule) item.module_name = traced.module_name;
  item.unit = traced.unit_name;
  item.function_name = traced.function_name;
  item.always_printed = traced.top;
  item.traced_frame = true;
  if (traced.second_line > 0) {
    item.line = traced.second_line;
    const int first_line = traced.second_line - traced.line;
    if (first_line > 0 && first_line <= item.line) item.function_first_line = first_line;
  } else {
    item.line = std::max(traced.line, 0);
  }
  return item;
}

StackItem AlwaysPrinted(StackItem item) {
  item.always_printed = true;
  return item;
}

std::vector<std::pair<std::string, std::string>> DebugTexts(const TraceResult& result) {
  std::vector<std::pair<std::string, std::string>> texts;
  for (const std::string& entry : result.minimal_debug) {
    const size_t bar = entry.find('|');
    if (bar != std::string::npos) texts.emplace_back(entry.substr(0, bar), entry.substr(bar + 1));
  }
  return texts;
}

}  // namespace

TracedStack ThreadStackTracer::TraceStack(const ThreadStackEntry& thread,
                                          const std::atomic<bool>& stop) {
  SymbolLookup& symbols = services_.symbols;
  TracedStack stack;
  // Without its stack's bounds the trace would read the calling thread's stack instead.
  if (thread.stack_pointer != 0 && thread.stack_end > thread.stack_pointer) {
    const TDAPreStackItem snapshot{thread.stack_snapshot};
    TraceRequest request;
    request.current_address = thread.address;
    request.is_exception = thread.exception_thread || thread.external_exception;
    request.external_exception = thread.external_exception;
    request.top = thread.stack_end;
    // A stack pointer in the guard area below an overflowed stack: the stack starts above it.
    request.bottom = std::max(thread.stack_pointer, thread.stack_start);
    request.frame_pointer = thread.frame_pointer;
    if (thread.context) request.registers = RegistersOf(thread.context->registers);
    if (thread.snapshot_taken) request.snapshot = &snapshot;
    request.creation_address = thread.creator_address;
    request.abort = &stop;
    request.relative_lines = true;
    // The report lays the stack out itself (PrintThreadStack).
    request.compose = [](const TraceResult&, SymbolLookup&) { return std::string(); };
    const TraceResult result = crash::TraceStack(request, services_);
    if (result.aborted) {
      stack.aborted = true;
      return stack;
    }
    if (!result.failed_stage.empty()) {
      stack.failed_stage = result.failed_stage;
      // Where a failure's own location is not recorded, the routine that failed stands for it.
      const uintptr_t failed_at = result.failure_address != 0
                                      ? result.failure_address
                                      : reinterpret_cast<uintptr_t>(&crash::TraceStack);
      stack.failure_location = DescribeCodeAddress(symbols, failed_at);
      if (thread.exception_thread && thread.address != 0)
        stack.exception_location = DescribeCodeAddress(symbols, thread.address);
      return stack;
    }
    for (const TraceItem& traced : result.items) stack.items.push_back(ReportItem(traced));
    if (result.ends_with_creation && !stack.items.empty()) stack.items.back().always_printed = true;
    stack.module_debug_texts = DebugTexts(result);
    if (result.ends_with_creation) return stack;
  }
  // What the trace could not show: the current location (a stack that cannot be read) and
  // the creation location (code that did not pass the trace's tests).
  if (stack.items.empty())
    stack.items.push_back(AlwaysPrinted(DescribeCodeAddress(symbols, thread.address)));
  if (thread.creator_address != 0)
    stack.items.push_back(AlwaysPrinted(DescribeCodeAddress(symbols, thread.creator_address)));
  return stack;
}

}  // namespace userdb::crash
