// The conversion's five lists. The main window creates them once, in this order, and
// keeps them for the program's life; a conversion run only replaces their contents.
#pragma once

#include <functional>
#include <string_view>

#include "conversion/string_list.h"

namespace userdb::conversion {

struct ConversionLists {
  StringList InputLines;   // the input file's lines
  StringList FieldList;    // the fields of the line being converted
  StringList OutputLines;  // the contact lines of the current run
  StringList RegionNames;  // region table: names ...
  StringList RegionCodes;  // ... and their codes, row by row
};

// Appends one line to the log.
using LogLine = std::function<void(std::string_view line)>;

}  // namespace userdb::conversion
