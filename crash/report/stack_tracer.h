// The seams between the report and the parts of the crash reporter that read code: stack
// tracing, which turns a thread's registers and stack snapshot into the items of its call
// stack, and the disassembler. The report worker calls them through these interfaces.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "crash/capture/processor_context.h"
#include "crash/report/call_stack_text.h"

namespace userdb::crash {

class SymbolLookup;

// One thread of the report's thread stack list.
struct ThreadStackEntry {
  pid_t thread_id = 0;
  std::string title;  // the section's title
  bool exception_thread = false;
  bool accessible = false;  // its registers could be read; only then is it traced
  uintptr_t address = 0;    // its current instruction, or the exception address
  uintptr_t stack_pointer = 0;
  uintptr_t frame_pointer = 0;
  uintptr_t stack_start = 0;  // the memory region holding its stack pointer
  uintptr_t stack_end = 0;
  std::optional<ProcessorContext> context;
  std::vector<std::byte> stack_snapshot;  // what the snapshot hook recorded in its handler
  uintptr_t creator_address = 0;          // 0 when not created through the captured creation
  pid_t creator_id = 0;
  std::string creator_title;  // the creating thread's title, without ":" and suffixes
};

struct TracedStack {
  // Innermost first; for a thread of the captured creation, its creation location last,
  // always printed.
  std::vector<StackItem> items;
  // False while only the thread's current location is known: the report says so.
  bool traced = true;
  // When tracing failed: the text that stands for the stack.
  std::string failure;
  // Pairs of a module name and its minimal debug information text, met while tracing.
  std::vector<std::pair<std::string, std::string>> module_debug_texts;
};

// The line that stands where the call stack will be once stack tracing is connected.
inline constexpr std::string_view kStackNotTraced = ">> stack not traced";

class StackTracer {
 public:
  virtual ~StackTracer() = default;
  virtual TracedStack TraceStack(const ThreadStackEntry& thread) = 0;
};

// What stands in for stack tracing until it is connected: the thread's current location
// and, for a thread of the captured creation, its creation location, both named.
class UntracedStacks : public StackTracer {
 public:
  explicit UntracedStacks(SymbolLookup& symbols) : symbols_(symbols) {}
  TracedStack TraceStack(const ThreadStackEntry& thread) override;

 private:
  SymbolLookup& symbols_;
};

// The listing of the function around an address ("disassembling"); the section is left out
// while no disassembler is connected.
class Disassembler {
 public:
  virtual ~Disassembler() = default;
  virtual std::string Disassemble(uintptr_t address) = 0;
};

}  // namespace userdb::crash
