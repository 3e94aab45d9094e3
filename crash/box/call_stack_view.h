// The "call stack" tab: every thread section introduced by a row ">> " + its title, then
// one row per line of its call stack, in the columns "^address", then, each only when some
// line has it, "^ rel.", "module", "unit", " line", " rel." and "function". Lines beginning
// with ">>" are rows of their own across the columns. Also the view of any tab whose text
// begins with ">> internal" (an internal error with its location line).
//
// The call-stack lines are those of PrintCallStack: the address, a blank, with relative
// addresses "+" and the offset, a blank, then the module and the unit, each padded to the
// longest of its stack + 1, the absolute and the relative line number right-aligned, and the
// function. The columns are found over the lines of one stack (the lines between two remark
// lines, where the remarks that the stack's own printing inserts, ">> created by …" and
// ">> stack not traced", belong to the stack): a module or unit column ends one blank after
// its longest name, the line numbers are the tokens of digits (or "+" and digits) that
// follow, told apart by where they end, and the function takes the rest. A single location
// line, which is not padded, splits the same way. Module and unit names hold no blanks.
#pragma once

#include <string_view>

#include "crash/box/report_view.h"

namespace userdb::crash {

ReportView CallStackView(std::string_view text);

}  // namespace userdb::crash
