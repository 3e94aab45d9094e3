// What the composition of bug reports uses of the crash reporter: the thread registry, the
// collection of thread states, the threads' faults being handled, the symbol lookup, the seams to
// stack tracing and the disassembler, the plug-ins, the start time and the count of headers built.
// The crash-reporter object owns all of them; a report is composed only while it lives.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>

namespace userdb::crash {

class ThreadRegistry;
class ThreadStateCollector;
class FaultRegistry;
class SymbolLookup;
class StackTracer;
class Disassembler;
class ReportPlugins;

struct ReportServices {
  ThreadRegistry* threads = nullptr;
  ThreadStateCollector* thread_states = nullptr;
  const FaultRegistry* faults = nullptr;  // none: no thread's fault is known but the exception's
  SymbolLookup* symbols = nullptr;
  StackTracer* tracer = nullptr;
  Disassembler* disassembler = nullptr;  // none: no "disassembling" section
  const ReportPlugins* plugins = nullptr;
  std::chrono::steady_clock::time_point program_start;
  std::atomic<uint32_t>* headers_built = nullptr;  // the "exception number" of this run
};

}  // namespace userdb::crash
