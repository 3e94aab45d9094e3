// The readable memory of this process, taken once per stack trace, and the safe read over it.
//
// The map is a snapshot of /proc/self/maps over the whole user address space: a range is
// readable when it is mapped with read permission ("r--", "rw-", "r-x", "rwx"); guard pages
// ("---") and the gaps between mappings are not. Memory unmapped after the map was taken is
// still caught: the copy goes through the kernel, which refuses what is no longer there.
//
// Not for a signal handler (it reads a file and allocates), except ParseMapsLine; see
// memory_reader.h for the read that is.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "crash/stack/memory_reader.h"
#include "crash/stack/module_info.h"

namespace userdb::crash {

// The readable mappings of /proc/self/maps (or of the text of a maps file) one by one,
// ascending, as the kernel lists them: neighbours are not merged.
std::vector<AddressRange> ReadableMappings();
std::vector<AddressRange> ReadableMappings(std::string_view maps_text);

// One line of a maps file, "start-end perms ...": the range and whether it may be read; false
// for a line of another form. Safe inside a signal handler.
bool ParseMapsLine(std::string_view line, uintptr_t& start, uintptr_t& end, bool& readable);

class ReadableMemoryMap final : public MemoryReader {
 public:
  // The map of the process now; empty when /proc/self/maps cannot be read.
  static ReadableMemoryMap Take();
  // The map described by the text of a maps file.
  static ReadableMemoryMap Parse(std::string_view maps_text);

  // The readable range (neighbouring readable mappings merged) that holds the address.
  std::optional<AddressRange> ReadableRangeAt(uintptr_t address) const;
  bool IsReadable(uintptr_t address) const { return ReadableRangeAt(address).has_value(); }
  // Whether every byte from `start` up to `end` is readable.
  bool IsReadable(uintptr_t start, uintptr_t end) const;

  // SafeRead: the start must lie in a readable range, and the kernel must copy every byte.
  bool Read(uintptr_t address, void* out, size_t count) const override;

  size_t RangeCount() const { return ranges_.size(); }

 private:
  void MergeNeighbours();

  std::vector<AddressRange>
      ranges_;  // readable ranges, ascending, neither adjoining nor overlapping
  KernelMemoryReader kernel_;
};

}  // namespace userdb::crash
