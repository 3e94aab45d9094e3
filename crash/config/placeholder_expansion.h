// The placeholders that every text setting of the crash reporter may hold.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace userdb::crash {

struct LocalTime {
  int year = 0, month = 0, day = 0;
  int hour = 0, minute = 0, second = 0, millisecond = 0;
};

LocalTime CurrentLocalTime();

// What the placeholders stand for. A placeholder whose value is not given stays in the
// text, for a later expansion to fill.
struct PlaceholderValues {
  std::optional<std::string> app_name;           // %appname%
  std::optional<std::string> module_name;        // %modname%
  std::optional<std::string> app_version;        // %appversion%
  std::optional<std::string> module_version;     // %modversion%
  std::optional<std::string> exception_message;  // %exceptMsg%; "Unknown" when empty
  std::optional<std::string> bug_report;         // %bugReport%
  std::optional<LocalTime> time;                 // %date%, %time%, %datetime%
};

// Replaces every occurrence of each placeholder, letter case ignored, in this order:
// %appname%, %modname%, %appversion%, %modversion%, %exceptMsg%, %bugReport%, %LF% (by
// carriage return and line feed), %date% ("2018-01-11"), %time% ("14:05:09, 7ms"),
// %datetime% (date, ", ", time). Inserted values are never searched for placeholders, so
// that a message or report holding "%LF%" or "%date%" arrives as it was.
std::string ExpandPlaceholders(std::string_view text, const PlaceholderValues& values);

}  // namespace userdb::crash
