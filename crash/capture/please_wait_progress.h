// The please-wait box's areas while a report is finished: one area per thread of the report,
// weighted by the size of the thread's stack in use (which its trace reads through), the
// current one the first whose stack is still being traced.
//
// Not for a signal handler.
#pragma once

#include "crash/helper/box_request.h"
#include "crash/report/caught_exception.h"

namespace userdb::crash {

// The areas of the exception's report, which must have been started: its thread list is then
// complete and only read.
ProgressRequest PleaseWaitProgress(CaughtException& exception);

}  // namespace userdb::crash
