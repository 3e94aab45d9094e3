// TraceStack: the thorough second phase of a stack trace, run while a report is completed.
// Each candidate return address is tested against the instruction bytes before it and against
// the function that holds it, callers are linked to callees, the best-scoring chain is chosen
// between trusted anchors, repeated recursion blocks are removed, and what remains is named.
//
// Not for a signal handler: it analyses code, looks symbols up and allocates. Memory is read
// only through the trace's readable-memory map.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "crash/stack/stack_snapshot.h"
#include "crash/stack/trace_context.h"

namespace userdb::crash {

// Receives the progress of a trace, from 0 to 1000.
class IProgressAlert {
 public:
  virtual void Progress(int position) = 0;

 protected:
  ~IProgressAlert() = default;
};

// One item of the chain found, with its output fields.
struct TraceItem {
  uintptr_t address = 0;  // the return address (the top item: the address after its instruction)
  uintptr_t code_address = 0;  // the call instruction (the top item: the current instruction)
  std::string module_name;     // without folder; "???" without a module
  std::string unit_name;
  std::string function_name;
  uintptr_t function_entry = 0;  // 0 when not known
  int line = 0;  // the line, or with relative lines the distance from the function's first line
  int second_line = 0;  // with relative lines: the absolute line (or the entry's line, see naming)
  bool top = false;
  // The frame of a function that handed on by a tail call: no return address on the stack
  // stands for it; `address` is the address after its jump, `code_address` the jump.
  bool tail_call = false;
};

struct TraceResult;
// Composes the call-stack text from a finished trace (the report's layout).
using StackComposer = std::function<std::string(const TraceResult&, SymbolLookup&)>;

struct TraceRequest {
  // The exception address, or without an exception the return address of the caller of
  // TraceStack (0: taken from the call).
  uintptr_t current_address = 0;
  bool is_exception = false;
  bool external_exception = false;  // raised by the processor (a signal), not by the program
  uintptr_t top = 0;                // 0: the calling thread's stack base
  uintptr_t bottom = 0;             // 0: the calling thread's stack pointer
  uintptr_t frame_pointer = 0;
  // The registers for the unwind tables' walk when there is no snapshot (rip, rsp and rbp at
  // least); unknown registers are not used.
  UnwindRegisters registers;
  const TDAPreStackItem* snapshot = nullptr;
  uintptr_t creation_address = 0;  // where the thread was created; 0 for none
  const std::atomic<bool>* abort = nullptr;
  IProgressAlert* progress = nullptr;
  bool relative_lines = false;
  StackComposer compose;  // empty: the plain form of stack_text.h
  // The address of the instruction that raised a failure inside the trace, when the program
  // records one (the crash reporter's record of the last C++ throw of this thread); 0 unknown.
  std::function<uintptr_t()> failure_address;
};

struct TraceResult {
  std::vector<TraceItem> items;            // the valid candidates, newest (innermost) first
  uintptr_t newest_code_address = 0;       // the code address of the newest valid item
  std::vector<std::string> minimal_debug;  // "<module file name>|<text>" per module
  std::string text;                        // the call-stack text, or the internal-error text
  // The oldest item is the address where the thread was created (TraceRequest's
  // creation_address), which passed the tests and stayed.
  bool ends_with_creation = false;
  std::string failed_stage;  // the stage that failed; empty when none did
  uintptr_t failure_address = 0;
  bool aborted = false;  // the abort flag ended the trace: no text
};

// The stage names that an internal-error text names.
inline constexpr const char* kTraceStageNames[] = {
    "CollectPossibleStackItems",
    "RemoveRecursiveStackAreas",
    "InDeepChecks",
    "RealizeOptimalLinkChains",
    "RemoveRecursiveAreas",
    "FillFinalOutput",
    "ComposeResult",
};

TraceResult TraceStack(const TraceRequest& request, TraceServices services);

}  // namespace userdb::crash
