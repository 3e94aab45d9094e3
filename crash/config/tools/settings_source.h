// The readable source of a settings record: one property a line, in stream order, as
//   Name  kind  value
// with the kinds text (the value in double quotes: everything from the first to the last
// double quote of the line, so a value may hold quotes itself; UTF-8, stored in
// Windows-1252), integer (decimal, 32-bit signed) and boolean (true or false). Blank lines
// and lines starting with "#" are left out.
#pragma once

#include <string>
#include <string_view>

#include "crash/config/property_list.h"
#include "platform/exception.h"

namespace userdb::crash {

// A line of the source that is not a property as above.
class SettingsSourceError : public Exception {
 public:
  SettingsSourceError(int line_number, const std::string& problem)
      : Exception("line " + std::to_string(line_number) + ": " + problem) {}
};

PropertyList ParseSettingsSource(std::string_view source);

}  // namespace userdb::crash
