// Finding the earlier report of the same exception in a bug report file, so that the file
// keeps one report per exception with a count of how often it occurred.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace userdb::crash {

// Whether earlier reports are replaced, for exceptions and for freezes (reports without an
// exception class), and how much of the three call-stack checksums must agree: definition 0
// the first, 1 the first two, 2 (or any other value) all three.
struct DuplicateRules {
  bool for_exceptions = true;
  int32_t exception_definition = 1;
  bool for_freezes = true;
  int32_t freeze_definition = 2;
};

// An earlier report in a bug report file's contents, with the separator that follows it.
struct EarlierReport {
  size_t start = 0;
  size_t end = 0;            // one past its last byte
  uint64_t occurrences = 1;  // its "count", 1 when it has none
};

// The last report in `contents` that `report` replaces: one whose "callstack crc" agrees
// with the report's as far as the rules ask, and whose "executable", "current module",
// "exception class" and "version" equal the report's (and, without a version, its
// "exec. date/time" and "module date/time"). None when the report's checksums are not
// complete yet, when its kind of report keeps its duplicates, or when there is no such
// report. A report in the file starts with "date/time" at the file's start or after a
// CR LF and runs to the next such start.
std::optional<EarlierReport> FindDuplicateReport(std::string_view contents, std::string_view report,
                                                 const DuplicateRules& rules);

}  // namespace userdb::crash
