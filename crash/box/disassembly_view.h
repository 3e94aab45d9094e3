// The "disassembling" tab: columns "address", "line" (only when the listing carries line
// numbers), "asm code" and "comments", in the fixed-pitch font.
//
// An instruction line begins with its address in hexadecimal and a blank; the line of the
// exception address has ">" right after that blank (the tenth column of an 8-digit address,
// the eighteenth of our 16 digits); then, where a source line starts, its number, and the
// instruction. Every other line (the function's "public" line, "loc_" labels, jump-table
// and handler lines, "[...]" cuts) is asm code as it stands. A comment begins at a ";" and
// takes the rest of the line, except a ruler ("; --"), which stays whole.
#pragma once

#include <string_view>

#include "crash/box/report_view.h"

namespace userdb::crash {

ReportView DisassemblyView(std::string_view text);

}  // namespace userdb::crash
