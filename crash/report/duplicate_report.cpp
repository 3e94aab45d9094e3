#include "crash/report/duplicate_report.h"

#include <string.h>

#include <algorithm>
#include <charconv>
#include <string>

#include "crash/report/report_file_format.h"
#include "crash/report/report_header.h"

namespace userdb::crash {

namespace {

constexpr std::string_view kChecksums = "callstack crc";
// "$0a1b2c3d, $00ff00ff, $12345678": shorter while the report is still being completed.
constexpr size_t kCompleteChecksumsLength = 31;
constexpr size_t kFirstChecksumLength = 9;
constexpr size_t kFirstTwoChecksumsLength = 20;

std::optional<std::string_view> DuplicateKey(std::string_view report, const DuplicateRules& rules) {
  const auto checksums = ReadHeaderValue(report, kChecksums);
  if (!checksums || checksums->size() != kCompleteChecksumsLength) return std::nullopt;
  const bool is_exception = ReadHeaderValue(report, "exception class").has_value();
  if (!(is_exception ? rules.for_exceptions : rules.for_freezes)) return std::nullopt;
  switch (is_exception ? rules.exception_definition : rules.freeze_definition) {
    case 0:
      return checksums->substr(0, kFirstChecksumLength);
    case 1:
      return checksums->substr(0, kFirstTwoChecksumsLength);
    default:
      return checksums;
  }
}

std::string_view ValueOrEmpty(std::string_view report, std::string_view name) {
  return ReadHeaderValue(report, name).value_or("");
}

bool SameValues(std::string_view earlier, std::string_view report,
                std::initializer_list<std::string_view> names) {
  for (const std::string_view name : names) {
    if (ValueOrEmpty(earlier, name) != ValueOrEmpty(report, name)) return false;
  }
  return true;
}

bool IsDuplicate(std::string_view earlier, std::string_view report, std::string_view key) {
  // The key's figures may stand elsewhere in a report too; only its checksums count.
  if (!ValueOrEmpty(earlier, kChecksums).starts_with(key)) return false;
  if (!SameValues(earlier, report, {"executable", "current module", "exception class", "version"}))
    return false;
  return !ValueOrEmpty(earlier, "version").empty() ||
         SameValues(earlier, report, {"exec. date/time", "module date/time"});
}

uint64_t Occurrences(std::string_view earlier) {
  const std::string_view count = ValueOrEmpty(earlier, "count");
  uint64_t occurrences = 0;
  const auto [end, error] = std::from_chars(count.data(), count.data() + count.size(), occurrences);
  if (error != std::errc() || end != count.data() + count.size()) return 1;
  return occurrences;
}

// The last occurrence of `needle` that starts before `before`. string_view::rfind compares
// the needle at every position; seeking its first byte with memrchr is many times faster
// over a file of reports.
size_t FindLastBefore(std::string_view text, std::string_view needle, size_t before) {
  for (size_t end = std::min(before, text.size()); end > 0;) {
    const void* found = memrchr(text.data(), needle.front(), end);
    if (found == nullptr) return std::string_view::npos;
    const auto at = static_cast<size_t>(static_cast<const char*>(found) - text.data());
    if (text.substr(at).starts_with(needle)) return at;
    end = at;
  }
  return std::string_view::npos;
}

struct Span {
  size_t start = 0, end = 0;
};

// The report that holds the byte at `at`: none when no report starts before it.
std::optional<Span> ReportAround(std::string_view contents, size_t at) {
  Span span;
  if (const size_t previous = FindLastBefore(contents, kReportStartAfterLineBreak, at);
      previous != std::string_view::npos) {
    span.start = previous + 2;  // past the CR LF
  } else if (!contents.starts_with(kReportStart)) {
    return std::nullopt;
  }
  const size_t next = contents.find(kReportStartAfterLineBreak, at);
  span.end = next == std::string_view::npos ? contents.size() : next + 2;
  return span;
}

}  // namespace

std::optional<EarlierReport> FindDuplicateReport(std::string_view contents, std::string_view report,
                                                 const DuplicateRules& rules) {
  const auto key = DuplicateKey(report, rules);
  if (!key) return std::nullopt;
  const std::string needle = ": " + std::string(*key);
  for (size_t before = contents.size(); before > 0;) {
    const size_t hit = FindLastBefore(contents, needle, before);
    if (hit == std::string_view::npos) return std::nullopt;
    const auto span = ReportAround(contents, hit);
    // No report starts before this hit, so none starts before an earlier one either.
    if (!span) return std::nullopt;
    const std::string_view earlier = contents.substr(span->start, span->end - span->start);
    if (IsDuplicate(earlier, report, *key)) {
      return EarlierReport{span->start, span->end, Occurrences(earlier)};
    }
    // Every other hit inside this report finds the same report: go on before it.
    before = span->start;
  }
  return std::nullopt;
}

}  // namespace userdb::crash
