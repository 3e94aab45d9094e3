// What appending a report does to a bug report file's present contents: the earlier report
// of the same exception is cut out (the new one counts the occurrences), then the oldest
// reports are dropped when the file has grown beyond its size limit.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "crash/report/duplicate_report.h"

namespace userdb::crash {

struct ReportFileRules {
  DuplicateRules duplicates;
  int32_t size_limit = 200000;  // bytes; 0 for none
};

struct ReportFileUpdate {
  // True when the present contents stay as they are and the report is only appended.
  bool keeps_contents = true;
  // Otherwise what remains of the contents, to be written before the report.
  std::string remaining;
  // The report, with its "count" line when it replaces an earlier one, and the separator.
  std::string appended;
};

ReportFileUpdate PlanReportFileUpdate(std::string_view contents, std::string_view report,
                                      const ReportFileRules& rules);

}  // namespace userdb::crash
