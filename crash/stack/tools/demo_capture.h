// What the stack demo keeps of the moment of a crash or a throw: the snapshot, taken inside
// the signal handler (or the throw), and with a comparison asked for, the reference chain of
// return addresses that libunwind reads from the unwind tables at the same point. A tracer
// thread then traces and prints while the crashed thread waits, as the crash reporter's
// handling thread does.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "crash/stack/stack_snapshot.h"

namespace userdb::crash::demo {

struct CaptureOptions {
  bool compare = false;         // also read the reference chain and compare the methods
  bool time = false;            // time the first and the later traces
  bool snapshot = false;        // list the snapshot's values
  bool tables_first = false;    // with time: build the symbol tables before the first trace
  bool no_debug_files = false;  // name other modules without their separate debug files
};

// Installs the handlers and starts the tracer thread; then the scenario runs. The process
// ends once the tracer has printed.
void StartCapturing(const CaptureOptions& options, const char* scenario);

}  // namespace userdb::crash::demo
