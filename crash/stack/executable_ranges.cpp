#include "crash/stack/executable_ranges.h"

#include <dlfcn.h>
#include <link.h>

#include <algorithm>
#include <cstring>

namespace userdb::crash {
namespace {

struct Gathering {
  AddressRange* ranges;
  size_t capacity;
  size_t count;
};

int AddExecutableSegments(dl_phdr_info* info, size_t, void* data) {
  auto& gathering = *static_cast<Gathering*>(data);
  for (ElfW(Half) i = 0; i < info->dlpi_phnum; ++i) {
    const ElfW(Phdr)& segment = info->dlpi_phdr[i];
    if (segment.p_type != PT_LOAD || !(segment.p_flags & PF_X) || segment.p_memsz == 0) continue;
    if (gathering.count == gathering.capacity) return 1;
    const uintptr_t start = info->dlpi_addr + segment.p_vaddr;
    gathering.ranges[gathering.count++] = {start, start + segment.p_memsz};
  }
  return 0;
}

}  // namespace

void ExecutableRanges::Refresh() {
  const Table* shown = current_.load(std::memory_order_acquire);
  Table& next = shown == &tables_[0] ? tables_[1] : tables_[0];
  Gathering gathering{next.ranges.data(), next.ranges.size(), 0};
  dl_iterate_phdr(AddExecutableSegments, &gathering);
  next.count = gathering.count;
  std::sort(next.ranges.begin(), next.ranges.begin() + static_cast<ptrdiff_t>(next.count),
            [](const AddressRange& a, const AddressRange& b) { return a.start < b.start; });
  next.lowest = next.count > 0 ? next.ranges[0].start : 0;
  next.highest = 0;
  for (size_t i = 0; i < next.count; ++i) next.highest = std::max(next.highest, next.ranges[i].end);
  current_.store(&next, std::memory_order_release);
}

bool ExecutableRanges::Holds(uintptr_t start, uintptr_t end) const {
  const Table& table = *current_.load(std::memory_order_acquire);
  if (start < table.lowest || end > table.highest) return false;
  size_t low = 0, high = table.count;
  while (low < high) {  // the first range starting above `start`
    const size_t middle = (low + high) / 2;
    if (table.ranges[middle].start <= start) {
      low = middle + 1;
    } else {
      high = middle;
    }
  }
  if (low == 0) return false;
  const AddressRange& range = table.ranges[low - 1];
  return start < end && end <= range.end;
}

bool ExecutableRanges::ReadBytesBefore(uintptr_t address, BytesBeforeAddress& bytes,
                                       LoadedModule& last) const {
  if (address < bytes.size()) return false;
  const uintptr_t start = address - bytes.size();
  if (!Holds(start, address)) return false;
  if (start < last.start || address > last.end) {
    // A module unloaded since the last refresh is no longer found; _dl_find_object takes no
    // lock and is safe inside a signal handler.
    dl_find_object found;
    if (_dl_find_object(reinterpret_cast<void*>(start), &found) != 0) return false;
    last = {reinterpret_cast<uintptr_t>(found.dlfo_map_start),
            reinterpret_cast<uintptr_t>(found.dlfo_map_end)};
  }
  std::memcpy(bytes.data(), reinterpret_cast<const void*>(start), bytes.size());
  return true;
}

size_t ExecutableRanges::Count() const {
  return current_.load(std::memory_order_acquire)->count;
}

}  // namespace userdb::crash
