// A plain text of a trace's result, for developer tools and tests. The bug report lays the
// call stack out in its own columns (its composer replaces this one).
#pragma once

#include <cstdint>
#include <string>

#include "crash/stack/stack_trace.h"
#include "crash/stack/symbol_lookup.h"

namespace userdb::crash {

// One line per item, newest first, joined by CR LF: the code address in 16 lower-case
// hexadecimal digits, the module, the unit, the line (when known) and the function, each
// after one blank; "!" after the address marks the top item.
std::string FormatStackPlain(const TraceResult& result);

// A single location: the address in 16 lower-case hexadecimal digits, then " " + module file
// name + " " + unit + " ", the line and " " when there is one, and the function name; an
// address without symbol information gives the digits and " ???".
std::string FormatLocationLine(SymbolLookup& symbols, uintptr_t address);

// The text of a failed trace: ">> internal error in " + the stage name; when the failing
// instruction is known, ":", a line break and its location; when the traced thread had an
// exception, a line break, ">> original exception location: ", a line break and that
// location. Line breaks are CR LF.
std::string InternalErrorText(SymbolLookup& symbols, const std::string& stage,
                              uintptr_t failure_address, bool is_exception,
                              uintptr_t exception_address);

}  // namespace userdb::crash
