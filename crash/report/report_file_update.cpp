#include "crash/report/report_file_update.h"

#include <limits>

#include "crash/report/report_file_format.h"
#include "crash/report/report_file_size_limit.h"
#include "crash/report/report_header.h"

namespace userdb::crash {

namespace {

std::string WithSeparator(std::string report) {
  report += kReportSeparator;
  return report;
}

std::string CountAfter(uint64_t occurrences) {
  const bool at_most = occurrences == std::numeric_limits<uint64_t>::max();
  return std::to_string(at_most ? occurrences : occurrences + 1);
}

}  // namespace

ReportFileUpdate PlanReportFileUpdate(std::string_view contents, std::string_view report,
                                      const ReportFileRules& rules) {
  ReportFileUpdate update;
  const auto duplicate = FindDuplicateReport(contents, report, rules.duplicates);
  if (!duplicate) {
    update.appended = WithSeparator(std::string(report));
    const size_t start = StartAfterSizeLimit(contents, contents.size(), rules.size_limit);
    if (start > 0) {
      update.keeps_contents = false;
      update.remaining = contents.substr(start);
    }
    return update;
  }
  update.appended = WithSeparator(
      InsertHeaderLineAfter(report, "callstack crc", "count", CountAfter(duplicate->occurrences)));
  update.keeps_contents = false;
  update.remaining.reserve(contents.size() - (duplicate->end - duplicate->start));
  update.remaining += contents.substr(0, duplicate->start);
  update.remaining += contents.substr(duplicate->end);
  update.remaining.erase(0,
                         StartAfterSizeLimit(update.remaining, contents.size(), rules.size_limit));
  return update;
}

}  // namespace userdb::crash
