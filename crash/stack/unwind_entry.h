// The unwind entry of a code address: the frame description (FDE) of the loaded module's
// .eh_frame that covers it, with what its common entry (CIE) says, found through the module's
// .eh_frame_hdr search table.
//
// Safe inside a signal handler: the module is found with _dl_find_object (no lock), and the
// tables are read in place within the module's bounds, without allocation.
#pragma once

#include <cstdint>

namespace userdb::crash {

struct UnwindEntry {
  uintptr_t start = 0;  // the code the entry covers: from start up to end
  uintptr_t end = 0;
  uintptr_t lsda = 0;         // the entry's exception table (.gcc_except_table); 0 for none
  bool signal_frame = false;  // a signal's return trampoline

  // What the rules are read from.
  uint64_t code_alignment = 1;
  int64_t data_alignment = 1;
  unsigned return_column = 16;
  uint8_t pointer_encoding = 0;
  uintptr_t cie_program = 0, cie_program_end = 0;
  uintptr_t fde_program = 0, fde_program_end = 0;
  uintptr_t module_start = 0, module_end = 0;  // bounds of every read of the module's tables
};

// The entry covering `pc`; false when no loaded module holds it, the module has no search
// table, or no entry covers the address.
bool FindUnwindEntry(uintptr_t pc, UnwindEntry& entry);

}  // namespace userdb::crash
