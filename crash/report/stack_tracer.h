// The seams between the report and the parts of the crash reporter that read code: stack
// tracing, which turns a thread's registers and stack snapshot into the items of its call
// stack, and the disassembler. The report worker calls them through these interfaces; the
// crash-reporter object connects the real ones (thread_stack_tracer.h,
// function_disassembler.h).
#pragma once

#include <sys/types.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "crash/capture/processor_context.h"
#include "crash/report/call_stack_text.h"
#include "crash/stack/function_listing.h"
#include "crash/stack/stack_snapshot.h"

namespace userdb::crash {

// One thread of the report's thread stack list.
struct ThreadStackEntry {
  pid_t thread_id = 0;
  std::string title;  // the section's title
  bool exception_thread = false;
  // The thread's exception came from the processor: the exception thread's, or the fault of
  // another thread that is being handled at the same time.
  bool external_exception = false;
  bool accessible = false;  // its registers could be read; only then is it traced
  uintptr_t address = 0;    // its current instruction, or the exception address
  uintptr_t stack_pointer = 0;
  uintptr_t frame_pointer = 0;
  uintptr_t stack_start = 0;  // the memory region holding its stack pointer
  uintptr_t stack_end = 0;    // the stack's top (excluded); 0 when not known
  std::optional<ProcessorContext> context;
  // What the thread's signal handler kept of its stack, from the stack pointer up to
  // stack_end; when not taken, the trace reads the stack itself.
  bool snapshot_taken = false;
  std::vector<TPreStackItem> stack_snapshot;
  uintptr_t creator_address = 0;  // 0 when not created through the captured creation
  pid_t creator_id = 0;
  std::string creator_title;  // the creating thread's title, without ":" and suffixes
};

struct TracedStack {
  // Innermost first; for a thread of the captured creation, its creation location last,
  // always printed.
  std::vector<StackItem> items;
  // When a stage of the trace failed: its name, where it failed when that is known, and the
  // exception's location for the exception thread. The internal-error text then stands for
  // the stack.
  std::string failed_stage;
  std::optional<StackItem> failure_location;
  std::optional<StackItem> exception_location;
  // The stop flag ended the trace: there is nothing to show.
  bool aborted = false;
  // Pairs of a module name and its minimal debug information text, met while tracing.
  std::vector<std::pair<std::string, std::string>> module_debug_texts;
};

class StackTracer {
 public:
  virtual ~StackTracer() = default;
  // Traces the thread's call stack; a set `stop` ends the trace early.
  virtual TracedStack TraceStack(const ThreadStackEntry& thread, const std::atomic<bool>& stop) = 0;
};

// The listing of the function around an address ("disassembling"); empty when there is none,
// which leaves the section out.
class Disassembler {
 public:
  virtual ~Disassembler() = default;
  virtual std::string Disassemble(uintptr_t address, const ListingOptions& options) = 0;
};

}  // namespace userdb::crash
