// A code address named through the symbol lookup: module, unit, function and lines.
#pragma once

#include <cstdint>

#include "crash/report/call_stack_text.h"

namespace userdb::crash {

class SymbolLookup;

// The item of the address; without symbols only its address and module are known.
StackItem DescribeCodeAddress(SymbolLookup& symbols, uintptr_t address);

// The item as far as it is known without building a symbol table that takes long (a
// library's separate debug file is read in a hundred milliseconds or more): in full when the
// module's table exists already or the module is the program's own executable (its packed
// symbols are read in a moment); otherwise the module and, when an export starts the function
// that holds the address (as the unwind tables tell its start), the export's name. The report
// shows such items only until the stack is traced.
StackItem DescribeCodeAddressQuickly(SymbolLookup& symbols, uintptr_t address);

}  // namespace userdb::crash
