#include "crash/capture/emergency_naming.h"

#include <dlfcn.h>
#include <elf.h>
#include <fcntl.h>
#include <link.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

#include "crash/stack/call_test.h"
#include "crash/stack/memory_reader.h"
#include "crash/stack/packed_symbols.h"
#include "platform/module_section.h"

namespace userdb::crash {

namespace {

constexpr std::string_view kDeletedSuffix = " (deleted)";

std::string_view FileNameOf(std::string_view path) {
  const size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

bool ReadAt(int fd, uint64_t offset, char* out, size_t size) {
  while (size > 0) {
    const ssize_t got = pread(fd, out, size, static_cast<off_t>(offset));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    out += got;
    offset += static_cast<uint64_t>(got);
    size -= static_cast<size_t>(got);
  }
  return true;
}

// Memory taken from the reserved room, for the packed symbols and for zlib; never given back
// (the process ends after the emergency).
struct RoomCursor {
  char* room;
  size_t capacity;
  size_t* used;

  char* Take(size_t size) {
    const size_t aligned = (size + 15) & ~size_t{15};
    if (aligned > capacity - *used) return nullptr;
    char* taken = room + *used;
    *used += aligned;
    return taken;
  }
};

void* TakeForInflate(void* opaque, unsigned items, unsigned size) {
  return static_cast<RoomCursor*>(opaque)->Take(static_cast<size_t>(items) * size);
}

void KeepForInflate(void*, void*) {}

// The dynamic table's address: the loader relocates the entries of a writable table in
// place, not those of a read-only one (the vDSO's).
uintptr_t DynamicAddress(const link_map& module, uintptr_t value, uintptr_t map_start) {
  return value < map_start ? value + module.l_addr : value;
}

// The number of symbols of a GNU hash table: past the last symbol that a bucket's chain
// reaches.
size_t GnuHashSymbolCount(const uint32_t* table, uintptr_t map_end) {
  const uint32_t buckets = table[0], offset = table[1], bloom_words = table[2];
  const auto* bucket =
      reinterpret_cast<const uint32_t*>(reinterpret_cast<const uint64_t*>(table + 4) + bloom_words);
  const uint32_t* chain = bucket + buckets;
  if (reinterpret_cast<uintptr_t>(chain) > map_end) return 0;
  uint32_t last = 0;
  for (uint32_t i = 0; i < buckets; ++i) last = std::max(last, bucket[i]);
  if (last < offset) return offset;
  while (reinterpret_cast<uintptr_t>(chain + (last - offset)) < map_end &&
         (chain[last - offset] & 1) == 0) {
    ++last;
  }
  return last + 1;
}

size_t LeadingUnderscores(std::string_view name) {
  return std::min(name.find_first_not_of('_'), name.size());
}

// The export of a library whose extent holds the address.
void NameFromExports(const dl_find_object& found, NamedAddress& entry) {
  const link_map& module = *found.dlfo_link_map;
  const auto map_start = reinterpret_cast<uintptr_t>(found.dlfo_map_start);
  const auto map_end = reinterpret_cast<uintptr_t>(found.dlfo_map_end);
  const ElfW(Sym)* symbols = nullptr;
  const char* names = nullptr;
  size_t names_size = 0, count = 0;
  for (const ElfW(Dyn)* dynamic = module.l_ld; dynamic != nullptr && dynamic->d_tag != DT_NULL;
       ++dynamic) {
    const uintptr_t value = DynamicAddress(module, dynamic->d_un.d_ptr, map_start);
    switch (dynamic->d_tag) {
      case DT_SYMTAB:
        symbols = reinterpret_cast<const ElfW(Sym)*>(value);
        break;
      case DT_STRTAB:
        names = reinterpret_cast<const char*>(value);
        break;
      case DT_STRSZ:
        names_size = dynamic->d_un.d_val;
        break;
      case DT_HASH:
        if (count == 0 && value >= map_start && value + 8 <= map_end) {
          count = reinterpret_cast<const uint32_t*>(value)[1];
        }
        break;
      case DT_GNU_HASH:
        if (value >= map_start && value + 16 <= map_end) {
          count = GnuHashSymbolCount(reinterpret_cast<const uint32_t*>(value), map_end);
        }
        break;
      default:
        break;
    }
  }
  const auto inside = [&](const void* start, size_t size) {
    const auto address = reinterpret_cast<uintptr_t>(start);
    return address >= map_start && address <= map_end && size <= map_end - address;
  };
  if (symbols == nullptr || names == nullptr || !inside(symbols, count * sizeof(ElfW(Sym))) ||
      !inside(names, names_size)) {
    return;
  }
  for (size_t i = 0; i < count; ++i) {
    const ElfW(Sym)& symbol = symbols[i];
    const unsigned type = ELF64_ST_TYPE(symbol.st_info);
    if ((type != STT_FUNC && type != STT_GNU_IFUNC) || symbol.st_shndx == SHN_UNDEF ||
        symbol.st_size == 0 || symbol.st_name >= names_size) {
      continue;
    }
    const uintptr_t start = module.l_addr + symbol.st_value;
    if (entry.lookup < start || entry.lookup - start >= symbol.st_size) continue;
    const char* name = names + symbol.st_name;
    const std::string_view exported(name, strnlen(name, names_size - symbol.st_name));
    // Of the names of one function ("__getpid", "getpid"), the public one.
    if (entry.function.empty() ||
        LeadingUnderscores(exported) < LeadingUnderscores(entry.function)) {
      entry.function = exported;
      entry.function_start = start;
    }
  }
}

// Names the entries of the program's own module from its inflated symbol body, in one walk.
class ProgramSymbolNaming final : public PackedBodyVisitor {
 public:
  // `program`: the module name that the program's entries carry (the same view).
  ProgramSymbolNaming(std::span<NamedAddress> entries, std::string_view program, uintptr_t bias,
                      RoomCursor& room)
      : entries_(entries), program_(program), bias_(bias) {
    units_ = reinterpret_cast<std::string_view*>(room.Take(kUnitRoom * sizeof(std::string_view)));
    // Lines only where a segment with lines holds the address: below, they are another
    // function's.
    for (NamedAddress& entry : entries_) {
      if (Ours(entry)) entry.line = kNoLines;
    }
  }

  bool Unit(std::string_view name) override {
    if (units_ != nullptr && unit_count_ < kUnitRoom)
      new (&units_[unit_count_]) std::string_view(name);
    ++unit_count_;
    return true;
  }
  bool Segment(uint64_t start, uint64_t length, uint64_t unit, bool, bool has_lines) override {
    for (NamedAddress& entry : entries_) {
      if (!Ours(entry)) continue;
      const uint64_t at = LinkTime(entry);
      if (at < start || at - start >= length) continue;
      if (units_ != nullptr && unit < kUnitRoom) entry.unit = units_[unit];
      if (has_lines) entry.line = 0;
    }
    return true;
  }
  bool Public(uint64_t address, bool code, std::string_view name) override {
    if (!code) return true;
    for (NamedAddress& entry : entries_) {
      if (!Ours(entry) || address > LinkTime(entry)) continue;
      entry.function = name;
      entry.function_start = address + bias_;  // publics ascend: the last one holds
    }
    return true;
  }
  bool Line(uint64_t address, uint32_t line) override {
    for (NamedAddress& entry : entries_) {
      if (!Ours(entry) || entry.line == kNoLines) continue;
      if (address <= LinkTime(entry)) entry.line = line;
      if (entry.function_start != 0 && address <= entry.function_start - bias_) {
        entry.function_first_line = line;
      }
    }
    return true;
  }

  // A first line above the line is another function's.
  void Finish() {
    for (NamedAddress& entry : entries_) {
      if (!Ours(entry)) continue;
      if (entry.line == kNoLines) entry.line = 0;
      if (entry.line == 0 || entry.function_first_line > entry.line) entry.function_first_line = 0;
    }
  }

 private:
  static constexpr size_t kUnitRoom = 4096;
  static constexpr uint32_t kNoLines = UINT32_MAX;

  bool Ours(const NamedAddress& entry) const { return entry.module.data() == program_.data(); }
  uint64_t LinkTime(const NamedAddress& entry) const { return entry.lookup - bias_; }

  std::span<NamedAddress> entries_;
  const std::string_view program_;
  const uintptr_t bias_;
  std::string_view* units_ = nullptr;
  size_t unit_count_ = 0;
};

}  // namespace

EmergencyNaming::EmergencyNaming() {
  // Reserved only: no page is used before an emergency.
  void* room = mmap(nullptr, kRoomSize, PROT_READ | PROT_WRITE,
                    MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (room != MAP_FAILED) room_ = static_cast<char*>(room);
}

EmergencyNaming::~EmergencyNaming() {
  if (room_ != nullptr) munmap(room_, kRoomSize);
}

NamedAddress EmergencyNaming::OfInstruction(uintptr_t address) {
  NamedAddress entry;
  entry.address = address;
  entry.lookup = address;
  return entry;
}

NamedAddress EmergencyNaming::OfReturnAddress(uintptr_t address) {
  NamedAddress entry;
  entry.address = address;
  entry.lookup = address - 1;
  BytesBeforeAddress bytes;
  if (address > bytes.size() &&
      KernelMemoryReader().Read(address - bytes.size(), bytes.data(), bytes.size())) {
    if (const size_t length = CallLengthBefore(bytes)) entry.address = address - length;
  }
  return entry;
}

std::string_view EmergencyNaming::ExecutablePath() {
  const ssize_t length = readlink("/proc/self/exe", executable_, sizeof executable_);
  executable_size_ = length > 0 ? static_cast<size_t>(length) : 0;
  std::string_view path(executable_, executable_size_);
  if (path.ends_with(kDeletedSuffix)) path.remove_suffix(kDeletedSuffix.size());
  return path;
}

void EmergencyNaming::Name(std::span<NamedAddress> entries) {
  const std::string_view program = FileNameOf(ExecutablePath());
  bool program_entries = false;
  for (NamedAddress& entry : entries) {
    dl_find_object found;
    if (_dl_find_object(reinterpret_cast<void*>(entry.lookup), &found) != 0 ||
        found.dlfo_link_map == nullptr) {
      continue;
    }
    const char* path = found.dlfo_link_map->l_name;
    if (path == nullptr || path[0] == '\0') {
      entry.module = program;
      program_entries = true;
    } else {
      entry.module = FileNameOf(path);
      NameFromExports(found, entry);
    }
  }
  if (program_entries) NameFromProgramSymbols(entries, program);
}

bool EmergencyNaming::LoadProgramSymbols() {
  if (symbols_tried_) return !inflated_.empty();
  symbols_tried_ = true;
  if (room_ == nullptr) return false;
  const int fd = open("/proc/self/exe", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  RoomCursor room{room_, kRoomSize, &used_};
  const auto extent = platform::FindElfSection(fd, kSymbolSectionName);
  char* packed = extent && extent->size <= kRoomSize ? room.Take(extent->size) : nullptr;
  const bool read = packed != nullptr && ReadAt(fd, extent->offset, packed, extent->size);
  close(fd);
  if (!read) return false;
  const auto header = ReadPackedHeader(std::string_view(packed, extent->size));
  if (!header) return false;
  char* inflated = room.Take(header->inflated_size);
  const InflateMemory memory{&TakeForInflate, &KeepForInflate, &room};
  if (inflated == nullptr ||
      !InflatePackedInPlace(std::span(packed, extent->size),
                            std::span(inflated, header->inflated_size), &memory)) {
    return false;
  }
  inflated_ = std::string_view(inflated, header->inflated_size);
  return true;
}

void EmergencyNaming::NameFromProgramSymbols(std::span<NamedAddress> entries,
                                             std::string_view program) {
  if (!LoadProgramSymbols() || _r_debug.r_map == nullptr) return;
  // The loader lists the program first.
  const uintptr_t bias = _r_debug.r_map->l_addr;
  RoomCursor room{room_, kRoomSize, &used_};
  const size_t mark = used_;
  ProgramSymbolNaming naming(entries, program, bias, room);
  if (WalkPackedBody(inflated_, naming)) naming.Finish();
  used_ = mark;
}

size_t EmergencyNaming::ListModules(std::span<ListedModule> room) {
  size_t count = 0;
  for (const link_map* module = _r_debug.r_map; module != nullptr && count < room.size();
       module = module->l_next) {
    const bool program = module == _r_debug.r_map;
    const std::string_view path =
        program ? ExecutablePath() : std::string_view(module->l_name ? module->l_name : "");
    if (!path.starts_with('/')) continue;  // the vDSO has no file
    room[count++] = {module->l_addr, path};
  }
  std::sort(room.begin(), room.begin() + static_cast<ptrdiff_t>(count),
            [](const ListedModule& a, const ListedModule& b) { return a.load_bias < b.load_bias; });
  return count;
}

}  // namespace userdb::crash
