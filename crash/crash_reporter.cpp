#include "crash/crash_reporter.h"

namespace userdb::crash {

CrashReporter::CrashReporter() : settings_(catalog_, box_), folders_(ProcessReportFolders()) {}

}  // namespace userdb::crash
