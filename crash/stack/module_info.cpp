#include "crash/stack/module_info.h"

#include <elf.h>
#include <sys/auxv.h>

#include <algorithm>
#include <cstring>
#include <string_view>
#include <vector>

#include "platform/module_section.h"
#include "platform/path.h"

namespace userdb::crash {
namespace {

constexpr char kRunningProgramFile[] = "/proc/self/exe";

void Extend(AddressRange& range, uintptr_t start, uintptr_t end) {
  if (range.Empty()) {
    range = {start, end};
  } else {
    range.start = std::min(range.start, start);
    range.end = std::max(range.end, end);
  }
}

// Handle, code range and data range from the loaded segments; false when there is none.
bool FillRanges(const std::vector<platform::ElfSegment>& segments, uintptr_t bias,
                ModuleInfo& module) {
  uintptr_t lowest = UINTPTR_MAX;
  for (const platform::ElfSegment& segment : segments) {
    if (segment.type != PT_LOAD || segment.memsz == 0) continue;
    const uintptr_t start = bias + segment.vaddr;
    if (start < bias || segment.memsz > UINTPTR_MAX - start) continue;  // a damaged header
    const uintptr_t end = start + segment.memsz;
    lowest = std::min(lowest, start);
    if (segment.flags & PF_X) Extend(module.code, start, end);
    if (segment.flags & PF_W) Extend(module.data, start, end);
  }
  if (lowest == UINTPTR_MAX) return false;
  module.handle = lowest;
  module.bias = bias;
  return true;
}

// Whether the bytes at link-time `vaddr`, `size` long, lie in a loaded segment's file part,
// so that they can be read in memory.
bool IsMapped(const std::vector<platform::ElfSegment>& segments, uint64_t vaddr, uint64_t size) {
  return std::any_of(segments.begin(), segments.end(), [&](const platform::ElfSegment& segment) {
    return segment.type == PT_LOAD && vaddr >= segment.vaddr &&
           vaddr - segment.vaddr <= segment.filesz &&
           size <= segment.filesz - (vaddr - segment.vaddr);
  });
}

std::string BuildIdInMemory(const platform::LoadedImage& loaded) {
  for (const platform::ElfSegment& segment : loaded.segments) {
    if (segment.type != PT_NOTE || !IsMapped(loaded.segments, segment.vaddr, segment.memsz)) {
      continue;
    }
    const std::string_view notes(
        reinterpret_cast<const char*>(loaded.module.load_bias + segment.vaddr), segment.memsz);
    std::string build_id = platform::GnuBuildIdOfNotes(notes, segment.align);
    if (!build_id.empty()) return build_id;
  }
  return {};
}

// A shared library's entry point, from its ELF header where its first segment maps it.
uintptr_t EntryPointInMemory(const platform::LoadedImage& loaded) {
  const uintptr_t bias = loaded.module.load_bias;
  if (loaded.module.is_executable) return getauxval(AT_ENTRY);
  for (const platform::ElfSegment& segment : loaded.segments) {
    if (segment.type != PT_LOAD || segment.offset != 0 || segment.filesz < sizeof(Elf64_Ehdr)) {
      continue;
    }
    Elf64_Ehdr header;
    std::memcpy(&header, reinterpret_cast<const void*>(bias + segment.vaddr), sizeof header);
    if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 || header.e_entry == 0) return 0;
    return bias + header.e_entry;
  }
  return 0;
}

}  // namespace

std::optional<ModuleInfo> LoadedModuleInfo(uintptr_t address) {
  const auto loaded = platform::LoadedImageContaining(reinterpret_cast<const void*>(address));
  if (!loaded || loaded->module.path.empty()) return std::nullopt;
  const platform::LoadedModule& found = loaded->module;
  ModuleInfo module;
  if (!FillRanges(loaded->segments, found.load_bias, module)) return std::nullopt;
  module.path = found.path;
  module.file_name = platform::FileNamePart(found.path);
  module.readable_path = found.is_executable ? kRunningProgramFile : found.path;
  module.entry_point = EntryPointInMemory(*loaded);
  module.build_id = BuildIdInMemory(*loaded);
  module.is_main = found.is_executable;
  return module;
}

std::optional<ModuleInfo> MainModuleInfo() {
  return LoadedModuleInfo(getauxval(AT_ENTRY));
}

std::optional<ModuleInfo> ModuleInfoOfFile(const std::string& path) {
  const auto image = platform::ReadElfImage(path);
  if (!image) return std::nullopt;
  ModuleInfo module;
  if (!FillRanges(image->segments, 0, module)) return std::nullopt;
  module.path = platform::FullPath(path);
  module.file_name = platform::FileNamePart(module.path);
  module.readable_path = path;
  module.entry_point = image->entry;
  module.build_id = image->build_id;
  return module;
}

}  // namespace userdb::crash
