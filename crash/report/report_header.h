// The header of a bug report's text: its first block of lines, one value a line, each
// line the value's name padded with blanks to one width, ": " and the value; lines end
// with CR LF and an empty line ends the block.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace userdb::crash {

// The report's header: everything before its first empty line.
std::string_view ReportHeader(std::string_view report);

// The value of the first header line that starts with `name`, followed by any blanks and
// ": "; the value runs to the end of that line. None when the header has no such line.
// Only the header is searched, so that a line of a section (a user's description, say)
// can never stand in for a header value.
std::optional<std::string_view> ReadHeaderValue(std::string_view report, std::string_view name);

// The report with a header line for `name` and `value` inserted directly after the line
// of `anchor`, laid out like it: the name padded with blanks to the same width. The
// report is returned unchanged when its header has no line of `anchor`.
std::string InsertHeaderLineAfter(std::string_view report, std::string_view anchor,
                                  std::string_view name, std::string_view value);

}  // namespace userdb::crash
