// The conversion's five lists. The main window creates them once, in this order, and
// keeps them for the program's life; a conversion run only replaces their contents.
#pragma once

#include <functional>
#include <string_view>

#include "conversion/radio_text.h"
#include "conversion/string_list.h"

namespace userdb::conversion {

struct ConversionLists {
  // The input file's lines. A run reads its files piece by piece instead, so that a large
  // database is never held whole, and leaves this list empty.
  StringList InputLines;
  StringList FieldList;  // the fields of the line being converted
  // The contact lines of the current run, when they are gathered before they are written
  // (several sources, one entry per ID, sorted by ID); otherwise they are written as they
  // come and this list stays empty.
  StringList OutputLines;
  StringList RegionNames;  // region table: names ...
  StringList RegionCodes;  // ... and their codes, row by row

  // Not a list: text for the radio, kept with them because its transliterators take long
  // to make and every run can use the ones made once.
  RadioText radio_text;
};

// Appends one line to the log.
using LogLine = std::function<void(std::string_view line)>;

}  // namespace userdb::conversion
