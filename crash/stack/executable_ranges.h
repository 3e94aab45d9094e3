// The executable segments of the loaded modules, gathered outside signal handlers, so that
// the stack snapshot (which runs inside one) can tell in a few steps whether a stack value may
// point behind a call instruction, and read the code bytes in front of it directly.
//
// Refresh() is not for a signal handler (it takes the dynamic loader's lock); everything
// else here is safe inside one: no allocation, no lock, no system call.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "crash/stack/call_test.h"
#include "crash/stack/module_info.h"

namespace userdb::crash {

// The module that the last read found loaded: values into the same module need not ask again.
struct LoadedModule {
  uintptr_t start = 0;
  uintptr_t end = 0;
};

class ExecutableRanges {
 public:
  static constexpr size_t kCapacity = 1024;

  // Gathers the executable segments of every module loaded now. Two tables take turns, so
  // that a snapshot running meanwhile still reads a whole one; a refresh must not run while
  // a snapshot still reads the table of the refresh before. Segments beyond the capacity
  // are left out (their values then fail the call test).
  void Refresh();

  // Whether one executable segment holds every byte from `start` up to `end`.
  bool Holds(uintptr_t start, uintptr_t end) const;

  // The bytes in front of `address`, read directly when a loaded module's executable segment
  // holds them and the module is still loaded; false otherwise. `last` remembers the module
  // found loaded, for the reads of one snapshot.
  bool ReadBytesBefore(uintptr_t address, BytesBeforeAddress& bytes, LoadedModule& last) const;

  size_t Count() const;

 private:
  struct Table {
    std::array<AddressRange, kCapacity> ranges{};  // ascending
    size_t count = 0;
    uintptr_t lowest = 0, highest = 0;  // of all ranges: most values lie outside at once
  };

  std::array<Table, 2> tables_;
  std::atomic<const Table*> current_{&tables_[0]};
};

}  // namespace userdb::crash
