// The report worker: replaces a started report's placeholders in this order, each one change
// of the report: the first thread's call stack, "cpu registers", "stack dump",
// "disassembling", the plug-in sections in the order of "Plugins", the other threads' call
// stacks. A part that fails stands as ">> internal error in <part>:" and the location of the
// failure. When the last placeholder is replaced, in one change, the checksums replace the
// header's placeholder, the modules' debug information lines join the header and the report
// is complete. Between its parts it stops when the exception is being freed.
#pragma once

#include <string>
#include <vector>

#include "crash/report/call_stack_text.h"
#include "crash/report/caught_exception.h"

namespace userdb::crash {

void RunReportWorker(CaughtException& exception);

// The printed call stack of a thread: the traced items in columns, with
// ">> created by <creator> at:" before the last line for a thread of the captured creation;
// for a failed trace its internal-error text.
struct ThreadStackText {
  std::string text;
  StackChecksums checksums;
};
// The text of a failed trace: ">> internal error in " + the stage; ":", a line break and the
// failure's location line when it is known; a line break, ">> original exception location: ",
// a line break and the exception's location line for the exception thread.
std::string InternalErrorText(const TracedStack& stack, const StackTextOptions& options);

ThreadStackText PrintThreadStack(const ThreadStackEntry& thread, const TracedStack& stack,
                                 const StackTextOptions& options);

}  // namespace userdb::crash
