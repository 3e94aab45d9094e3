// The views of the report's header and of the sections whose columns are fixed: "cpu
// registers", "stack dump", "modules" and "processes".
#pragma once

#include <string_view>

#include "crash/box/report_view.h"

namespace userdb::crash {

// "general": one row per header line "name" + tab + "value", in the columns "description"
// and "value".
ReportView HeaderView(std::string_view text);

// "reg." and "content" by the column rule (lone separators ignored); fixed pitch.
ReportView CpuRegistersView(std::string_view text);

// "address", "data - hexadecimal" and "data - chars"; fixed pitch. The blanks between the
// three parts of a stack-dump line are the cell boundaries: the 10th and the 61st character
// of a line with 8-digit addresses, the 18th and the 69th of ours with 16 digits.
ReportView StackDumpView(std::string_view text);

// "^handle", "file name", " version" and "path" by the column rule (lone separators
// ignored).
ReportView ModulesView(std::string_view text);

// "^id", "file name", "priority" and "path" when the column rule (lone separators ignored)
// finds three column starts, otherwise "^id", "file name", "session", "priority" and "path".
ReportView ProcessesView(std::string_view text);

}  // namespace userdb::crash
