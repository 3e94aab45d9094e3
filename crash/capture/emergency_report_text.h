// The report that the signal handler of a fault composes itself when the handling made no
// progress: in the layout of a bug report, with what can be had without allocating. Its
// header holds the values that the system gives at once (time, computer, process, command
// line, executable) and those prepared beforehand (version, compiler); one section per
// thread, the faulting one first, each with its current (or faulting) instruction and the call
// chain that the unwind tables and frame pointers give, named where the program's packed
// symbols or a library's exports know the function; and the modules with their load addresses.
//
// Everything here but the constructor of its parts is async-signal-safe.
#pragma once

#include <sys/types.h>
#include <ucontext.h>

#include <atomic>
#include <cstdint>
#include <span>
#include <string_view>

#include "crash/capture/emergency_naming.h"
#include "crash/capture/emergency_stacks.h"
#include "crash/capture/signal_safe_text.h"

namespace userdb::crash {

// What the fault's handler knows of its fault.
struct FaultFacts {
  int signal = 0;
  int code = 0;                 // si_code
  uintptr_t fault_address = 0;  // si_addr
  const ucontext_t* context = nullptr;
};

// What was prepared before any fault.
struct EmergencyProgramFacts {
  pid_t main_thread = 0;
  pid_t handling_thread = 0;       // the crash reporter's; named as it is in trace reports
  int64_t utc_offset_seconds = 0;  // of local time, when the crash reporter started
  std::string_view version;
  std::string_view compiler;
  std::string_view reporter_version;
  uint32_t exception_number = 0;
};

// The header line that tells the reader why this report looks as it does.
inline constexpr std::string_view kEmergencyNote =
    "saved by the signal handler: the handling made no progress for 15 seconds";

// Composes the report into `out`; `entries` is room for naming the frames of all threads.
void ComposeEmergencyReport(FixedText& out, const FaultFacts& fault,
                            const EmergencyProgramFacts& program,
                            std::span<EmergencyThread> threads, EmergencyNaming& naming,
                            std::span<NamedAddress> entries);

}  // namespace userdb::crash
