// Any bytes as a bug report file's contents, under any duplicate rules and size limit:
// planning the update never reads outside the contents, keeps everything the rules do not
// cut, and agrees with a plain reading of the rules that tries every hit and every report
// start one by one.
//
// Input: one byte of duplicate rules, one byte choosing the size limit (times 64; 0 for
// none), one byte choosing the new report, then the file's contents.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "crash/report/report_file_update.h"
#include "crash/report/report_header.h"

namespace {

constexpr std::string_view kStart = "\r\ndate/time";

const std::string& NewReport(uint8_t choice) {
  static const std::string kReports[] = {
      "date/time        : 2024-03-07, 14:05:09, 87ms\r\nexecutable       : app\r\n"
      "version          : 1.0.1.16\r\ncallstack crc    : $0a1b2c3d, $00ff00ff, $12345678\r\n"
      "exception class  : E\r\nexception message: m.\r\n\r\nmain thread ($1):\r\nx",
      "date/time        : 2024-03-07, 14:05:09, 87ms\r\nexecutable       : app\r\n"
      "exec. date/time  : 2018-01-11 10:00\r\ncallstack crc    : $0a1b2c3d, $00ff00ff, "
      "$12345678\r\nexception message: frozen.",
      "date/time     : 2024-03-07\r\ncallstack crc : will be calculated soon\r\nexception class : "
      "E",
  };
  return kReports[choice % 3];
}

std::string_view Value(std::string_view report, std::string_view name) {
  return userdb::crash::ReadHeaderValue(report, name).value_or("");
}

// The rules read plainly: every hit of the key from the end, each report delimited anew.
std::string PlainlyUpdated(std::string_view contents, const std::string& report,
                           const userdb::crash::ReportFileRules& rules) {
  std::string present(contents);
  std::string appended = report;
  const std::string_view checksums = Value(report, "callstack crc");
  const bool is_exception = userdb::crash::ReadHeaderValue(report, "exception class").has_value();
  const bool removal =
      is_exception ? rules.duplicates.for_exceptions : rules.duplicates.for_freezes;
  const int32_t definition =
      is_exception ? rules.duplicates.exception_definition : rules.duplicates.freeze_definition;
  if (removal && checksums.size() == 31) {
    const std::string key(checksums.substr(0, definition == 0 ? 9 : definition == 1 ? 20 : 31));
    for (size_t hit = contents.rfind(": " + key); hit != std::string_view::npos;
         hit = hit == 0 ? std::string_view::npos : contents.rfind(": " + key, hit - 1)) {
      const size_t previous = contents.rfind(kStart, hit);
      if (previous == std::string_view::npos && !contents.starts_with("date/time")) continue;
      const size_t start = previous == std::string_view::npos ? 0 : previous + 2;
      const size_t next = contents.find(kStart, hit);
      const size_t end = next == std::string_view::npos ? contents.size() : next + 2;
      const std::string_view earlier = contents.substr(start, end - start);
      bool same = Value(earlier, "callstack crc").starts_with(key);
      for (const char* name : {"executable", "current module", "exception class", "version"})
        same = same && Value(earlier, name) == Value(report, name);
      if (Value(earlier, "version").empty()) {
        for (const char* name : {"exec. date/time", "module date/time"})
          same = same && Value(earlier, name) == Value(report, name);
      }
      if (!same) continue;
      uint64_t count = 1;
      const std::string_view text = Value(earlier, "count");
      const bool fits = text.size() < 20 || (text.size() == 20 && text <= "18446744073709551615");
      if (!text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos && fits)
        count = std::stoull(std::string(text));
      if (count != UINT64_MAX) ++count;
      appended = userdb::crash::InsertHeaderLineAfter(report, "callstack crc", "count",
                                                      std::to_string(count));
      present = std::string(contents.substr(0, start)) + std::string(contents.substr(end));
      break;
    }
  }
  if (rules.size_limit > 0 && contents.size() > static_cast<size_t>(rules.size_limit)) {
    const size_t keep_below = static_cast<size_t>(rules.size_limit - rules.size_limit / 4);
    for (size_t at = present.find(kStart, 1); at != std::string::npos;
         at = present.find(kStart, at + 1)) {
      if (present.size() - at < keep_below) {
        present.erase(0, at + 2);
        break;
      }
    }
  }
  return present + appended + "\r\n\r\n";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  userdb::crash::ReportFileRules rules;
  rules.duplicates.for_exceptions = data[0] & 1;
  rules.duplicates.for_freezes = data[0] & 2;
  rules.duplicates.exception_definition = (data[0] >> 2) & 3;
  rules.duplicates.freeze_definition = (data[0] >> 4) & 3;
  rules.size_limit = data[1] * 64;
  const std::string& report = NewReport(data[2]);
  // A copy of its own, so that the sanitizer sees any read beyond the contents.
  const std::string contents(reinterpret_cast<const char*>(data + 3), size - 3);

  const userdb::crash::ReportFileUpdate update = PlanReportFileUpdate(contents, report, rules);
  const std::string& before = update.keeps_contents ? contents : update.remaining;
  if (before + update.appended != PlainlyUpdated(contents, report, rules)) std::abort();
  if (!update.keeps_contents && update.remaining == contents) std::abort();
  return 0;
}
