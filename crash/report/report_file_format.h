// The layout of a bug report and of a bug report file: a report's lines end with CR LF, its
// header lines are a name padded with blanks, ": " and the value, and an empty line stands
// before each section. Reports follow one another in the file, each followed by an empty
// line. Every report begins with its "date/time" header line, which is how a reader finds
// where each report of the file begins.
#pragma once

#include <string_view>

namespace userdb::crash {

inline constexpr std::string_view kLineBreak = "\r\n";
inline constexpr std::string_view kHeaderValueSeparator = ": ";
inline constexpr std::string_view kReportStart = "date/time";
inline constexpr std::string_view kReportStartAfterLineBreak = "\r\ndate/time";
inline constexpr std::string_view kReportSeparator = "\r\n\r\n";

}  // namespace userdb::crash
