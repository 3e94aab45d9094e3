// The text of a bug report from its two lists: the header's lines with their names padded
// to one width, then each section under its title. Lines are joined by CR LF; the text ends
// without a line break.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "crash/report/report_entries.h"

namespace userdb::crash {

// A header value as its line prints it: every line break a blank, every run of blanks one.
std::string HeaderValueOnOneLine(std::string_view value);

std::string ComposeReportText(const std::vector<ReportEntry>& header,
                              const std::vector<ReportEntry>& sections);

}  // namespace userdb::crash
