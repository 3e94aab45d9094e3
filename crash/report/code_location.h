// A code address named through the symbol lookup: module, unit, function and lines.
#pragma once

#include <cstdint>

#include "crash/report/call_stack_text.h"

namespace userdb::crash {

class SymbolLookup;

// The item of the address; without symbols only its address and module are known.
StackItem DescribeCodeAddress(SymbolLookup& symbols, uintptr_t address);

}  // namespace userdb::crash
