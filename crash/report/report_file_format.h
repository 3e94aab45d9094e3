// The layout of a bug report file: reports one after the other, each followed by an empty
// line. Every report begins with its "date/time" header line, which is how a reader finds
// where each report of the file begins.
#pragma once

#include <string_view>

namespace userdb::crash {

inline constexpr std::string_view kReportStart = "date/time";
inline constexpr std::string_view kReportStartAfterLineBreak = "\r\ndate/time";
inline constexpr std::string_view kReportSeparator = "\r\n\r\n";

}  // namespace userdb::crash
