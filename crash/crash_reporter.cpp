#include "crash/crash_reporter.h"

CrashReporter::CrashReporter() : settings_(catalog_, box_), folders_(ProcessReportFolders()) {}
