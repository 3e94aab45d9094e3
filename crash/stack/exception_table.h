// The landing pads of a function's exception table (.gcc_except_table, the LSDA that its
// unwind entry names): the code that runs when an exception passes through a call site of
// the function, for cleanups and catch clauses. They are code areas of the function that no
// jump reaches.
#pragma once

#include <cstdint>
#include <vector>

#include "crash/stack/unwind_entry.h"

namespace userdb::crash {

// The landing pads of the entry's exception table, in table order; empty when it has none
// or the table is damaged.
std::vector<uintptr_t> LandingPads(const UnwindEntry& entry);

}  // namespace userdb::crash
