// Composing the bug report of a caught exception: the header and the thread titles with their
// first location lines at once, the rest (call stacks, registers, stack dump, disassembly,
// plug-ins) by the report worker, which replaces the placeholders one by one.
#pragma once

#include <chrono>
#include <string>

#include "crash/report/caught_exception.h"

namespace userdb::crash {

enum class WorkerPlacement {
  kOwnThread,      // the worker runs on a thread of its own (from the handling thread)
  kCallingThread,  // the worker's work runs right away on the calling thread
};

// Builds the header and the section list, once per exception, and starts the worker.
void StartBugReport(CaughtException& exception, WorkerPlacement placement);

// The longest that a caller asking for the complete report waits for the worker.
inline constexpr std::chrono::seconds kCompleteReportWait{30};

// The report text. Without create-bug-report (or without the crash reporter's services) the
// cached text, which stays empty. Otherwise the report is started when it was not; with
// `must_be_complete` the call then waits for the worker (raised to the highest priority the
// system allows, polling every 50 ms, at most kCompleteReportWait).
std::string ComposeBugReport(CaughtException& exception, bool must_be_complete);

}  // namespace userdb::crash
