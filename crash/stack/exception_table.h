// The exception table of a function (.gcc_except_table, the LSDA that its unwind entry
// names): for ranges of its call sites, the landing pad that runs when an exception passes
// through one of them, for cleanups (destructors) and catch clauses. Landing pads are code
// areas of the function that no jump reaches.
#pragma once

#include <cstdint>
#include <vector>

#include "crash/stack/memory_reader.h"
#include "crash/stack/unwind_entry.h"

namespace userdb::crash {

// The landing pads of the entry's exception table, in table order; empty when it has none
// or the table is damaged.
std::vector<uintptr_t> LandingPads(const UnwindEntry& entry);

// One call-site range of the table that has a landing pad, with what its pad handles.
struct CallSiteHandler {
  uintptr_t start = 0;  // the calls from start up to end (excluded)
  uintptr_t end = 0;
  uintptr_t landing_pad = 0;
  bool cleanup = false;  // the pad runs cleanups and lets the exception go on
  // The classes of its catch clauses in order, as the addresses of their type_info objects;
  // 0 for "catch (...)".
  std::vector<uintptr_t> catches;
};

// The call-site ranges with landing pads, in table order; the type table's cells are read
// through `memory`. Empty when the table has none or is damaged.
std::vector<CallSiteHandler> CallSiteHandlers(const UnwindEntry& entry, const MemoryReader& memory);

}  // namespace userdb::crash
