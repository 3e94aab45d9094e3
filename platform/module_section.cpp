#include "platform/module_section.h"

#include <elf.h>
#include <errno.h>
#include <fcntl.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cstring>

#include "platform/unique_fd.h"

namespace userdb::platform {

// The ELF structures are read as they lie in the file; only little-endian hosts read them.
static_assert(std::endian::native == std::endian::little);

namespace {

constexpr std::string_view kDeletedSuffix = " (deleted)";

// Calls `visit(info, is_first)` for every loaded module; the dynamic loader lists the
// executable first.
template <typename Visit>
void ForEachModuleInfo(Visit visit) {
  struct State {
    Visit* visit;
    bool first = true;
  } state{&visit};
  dl_iterate_phdr(
      [](dl_phdr_info* info, size_t, void* data) {
        auto* walk = static_cast<State*>(data);
        (*walk->visit)(*info, walk->first);
        walk->first = false;
        return 0;
      },
      &state);
}

bool Contains(const dl_phdr_info& info, uintptr_t address) {
  for (ElfW(Half) i = 0; i < info.dlpi_phnum; ++i) {
    const ElfW(Phdr)& segment = info.dlpi_phdr[i];
    if (segment.p_type != PT_LOAD) continue;
    const uintptr_t start = info.dlpi_addr + segment.p_vaddr;
    if (address >= start && address - start < segment.p_memsz) return true;
  }
  return false;
}

uintptr_t LowestAddress(const dl_phdr_info& info) {
  uintptr_t lowest = UINTPTR_MAX;
  for (ElfW(Half) i = 0; i < info.dlpi_phnum; ++i) {
    const ElfW(Phdr)& segment = info.dlpi_phdr[i];
    if (segment.p_type == PT_LOAD) lowest = std::min(lowest, info.dlpi_addr + segment.p_vaddr);
  }
  return lowest;
}

ElfSegment SegmentOf(const Elf64_Phdr& header) {
  return {header.p_type,   header.p_flags, header.p_offset, header.p_vaddr,
          header.p_filesz, header.p_memsz, header.p_align};
}

LoadedModule ModuleOf(const dl_phdr_info& info, bool is_executable) {
  LoadedModule module;
  module.load_bias = info.dlpi_addr;
  module.is_executable = is_executable;
  module.path =
      is_executable ? ExecutablePath() : std::string(info.dlpi_name ? info.dlpi_name : "");
  return module;
}

LoadedImage ImageOf(const dl_phdr_info& info, bool is_executable) {
  LoadedImage image{ModuleOf(info, is_executable), {}};
  for (ElfW(Half) i = 0; i < info.dlpi_phnum; ++i) {
    image.segments.push_back(SegmentOf(info.dlpi_phdr[i]));
  }
  return image;
}

// Bounded reads of an open file: a read that would reach past the end fails instead.
class FileBytes {
 public:
  FileBytes(int fd, uint64_t size) : fd_(fd), size_(size) {}

  uint64_t Size() const { return size_; }

  bool Read(uint64_t offset, uint64_t length, void* out) const {
    if (offset > size_ || length > size_ - offset) return false;
    auto* target = static_cast<char*>(out);
    while (length > 0) {
      const ssize_t got = pread(fd_, target, length, static_cast<off_t>(offset));
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) return false;
      target += got;
      offset += static_cast<uint64_t>(got);
      length -= static_cast<uint64_t>(got);
    }
    return true;
  }

  std::optional<std::string> ReadBytes(uint64_t offset, uint64_t length) const {
    if (offset > size_ || length > size_ - offset) return std::nullopt;
    std::string bytes(length, '\0');
    if (!Read(offset, length, bytes.data())) return std::nullopt;
    return bytes;
  }

 private:
  int fd_;
  uint64_t size_;
};

bool IsElf64LittleEndian(const Elf64_Ehdr& header) {
  return std::memcmp(header.e_ident, ELFMAG, SELFMAG) == 0 &&
         header.e_ident[EI_CLASS] == ELFCLASS64 && header.e_ident[EI_DATA] == ELFDATA2LSB;
}

// The number of section headers and the index of the section names' string table. A file
// with more sections than its header can count keeps the real count and index in section 0.
bool SectionTable(const FileBytes& file, const Elf64_Ehdr& header, uint64_t& count,
                  uint32_t& names_index) {
  if (header.e_shoff == 0 || header.e_shentsize < sizeof(Elf64_Shdr)) return false;
  Elf64_Shdr first{};
  if (!file.Read(header.e_shoff, sizeof first, &first)) return false;
  count = header.e_shnum != 0 ? header.e_shnum : first.sh_size;
  names_index = header.e_shstrndx != SHN_XINDEX ? header.e_shstrndx : first.sh_link;
  return count <= (file.Size() - header.e_shoff) / header.e_shentsize && names_index < count;
}

bool ReadSectionHeader(const FileBytes& file, const Elf64_Ehdr& header, uint64_t index,
                       Elf64_Shdr& section) {
  return file.Read(header.e_shoff + index * header.e_shentsize, sizeof section, &section);
}

// Whether the name at `offset` of the names section is `wanted`, read from the file.
bool NameIs(const FileBytes& file, const Elf64_Shdr& names, uint32_t offset,
            std::string_view wanted) {
  char name[64];
  if (wanted.size() + 1 > sizeof name || offset >= names.sh_size) return false;
  const uint64_t length = std::min<uint64_t>(wanted.size() + 1, names.sh_size - offset);
  if (!file.Read(names.sh_offset + offset, length, name)) return false;
  return length == wanted.size() + 1 && name[wanted.size()] == '\0' &&
         std::string_view(name, wanted.size()) == wanted;
}

// One header at a time, without allocating.
std::optional<FileExtent> SectionExtent(const FileBytes& file, std::string_view section_name) {
  Elf64_Ehdr header{};
  if (!file.Read(0, sizeof header, &header) || !IsElf64LittleEndian(header)) return std::nullopt;
  uint64_t count = 0;
  uint32_t names_index = 0;
  Elf64_Shdr names{};
  if (!SectionTable(file, header, count, names_index) ||
      !ReadSectionHeader(file, header, names_index, names) || names.sh_type == SHT_NOBITS ||
      names.sh_offset > file.Size() || names.sh_size > file.Size() - names.sh_offset) {
    return std::nullopt;
  }
  for (uint64_t i = 0; i < count; ++i) {
    Elf64_Shdr section{};
    if (!ReadSectionHeader(file, header, i, section)) return std::nullopt;
    if (!NameIs(file, names, section.sh_name, section_name)) continue;
    if (section.sh_type == SHT_NOBITS) return FileExtent{section.sh_offset, 0};
    if (section.sh_offset > file.Size() || section.sh_size > file.Size() - section.sh_offset) {
      return std::nullopt;
    }
    return FileExtent{section.sh_offset, section.sh_size};
  }
  return std::nullopt;
}

std::optional<ElfImage> FileImageOf(const FileBytes& file) {
  Elf64_Ehdr header{};
  if (!file.Read(0, sizeof header, &header) || !IsElf64LittleEndian(header)) return std::nullopt;
  if (header.e_phnum != 0 && header.e_phentsize < sizeof(Elf64_Phdr)) return std::nullopt;
  ElfImage image;
  image.entry = header.e_entry;
  for (uint64_t i = 0; i < header.e_phnum; ++i) {
    Elf64_Phdr segment{};
    if (!file.Read(header.e_phoff + i * header.e_phentsize, sizeof segment, &segment)) {
      return std::nullopt;
    }
    image.segments.push_back(SegmentOf(segment));
    if (segment.p_type != PT_NOTE || !image.build_id.empty()) continue;
    if (const auto notes = file.ReadBytes(segment.p_offset, segment.p_filesz)) {
      image.build_id = GnuBuildIdOfNotes(*notes, segment.p_align);
    }
  }
  return image;
}

std::optional<std::string> FindSection(const FileBytes& file, std::string_view section_name) {
  const auto extent = SectionExtent(file, section_name);
  if (!extent) return std::nullopt;
  // A section without file contents (SHT_NOBITS) may name an offset past the file's end.
  if (extent->size == 0) return std::string();
  return file.ReadBytes(extent->offset, extent->size);
}

// Runs `read` on the file at `path` when it is a regular file.
template <typename Read>
auto WithRegularFile(const std::string& path, Read read) -> decltype(read(FileBytes(0, 0))) {
  // Not blocking keeps a FIFO in place of the file from stopping the reader.
  const UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  struct stat status {};
  if (!fd.Valid() || fstat(fd.Get(), &status) != 0 || !S_ISREG(status.st_mode)) {
    return std::nullopt;
  }
  return read(FileBytes(fd.Get(), static_cast<uint64_t>(status.st_size)));
}

}  // namespace

std::optional<LoadedImage> LoadedImageContaining(const void* address) {
  std::optional<LoadedImage> found;
  const auto wanted = reinterpret_cast<uintptr_t>(address);
  ForEachModuleInfo([&](const dl_phdr_info& info, bool is_executable) {
    if (!found && Contains(info, wanted)) found = ImageOf(info, is_executable);
  });
  return found;
}

std::optional<LoadedModule> ModuleContaining(const void* address) {
  auto image = LoadedImageContaining(address);
  if (!image) return std::nullopt;
  return std::move(image->module);
}

std::vector<LoadedModule> LoadedModules() {
  std::vector<std::pair<uintptr_t, LoadedModule>> modules;
  ForEachModuleInfo([&](const dl_phdr_info& info, bool is_executable) {
    modules.emplace_back(LowestAddress(info), ModuleOf(info, is_executable));
  });
  std::stable_sort(modules.begin(), modules.end(),
                   [](const auto& left, const auto& right) { return left.first < right.first; });
  std::vector<LoadedModule> result;
  for (auto& entry : modules) result.push_back(std::move(entry.second));
  return result;
}

std::string ExecutablePath() {
  std::string path(256, '\0');
  for (;;) {
    const ssize_t length = readlink("/proc/self/exe", path.data(), path.size());
    if (length < 0) return {};
    if (static_cast<size_t>(length) < path.size()) {
      path.resize(static_cast<size_t>(length));
      break;
    }
    path.resize(path.size() * 2);
  }
  // A program file replaced while it runs keeps its old name with this mark.
  if (path.ends_with(kDeletedSuffix)) path.resize(path.size() - kDeletedSuffix.size());
  return path;
}

std::optional<FileExtent> FindElfSection(int fd, std::string_view section_name) {
  struct stat status {};
  if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) return std::nullopt;
  return SectionExtent(FileBytes(fd, static_cast<uint64_t>(status.st_size)), section_name);
}

std::optional<std::string> ReadElfSection(const std::string& path, std::string_view section_name) {
  return WithRegularFile(path,
                         [&](const FileBytes& file) { return FindSection(file, section_name); });
}

std::optional<ElfImage> ReadElfImage(const std::string& path) {
  return WithRegularFile(path, [](const FileBytes& file) { return FileImageOf(file); });
}

std::string GnuBuildIdOfNotes(std::string_view notes, uint64_t alignment) {
  // Each note: name size, descriptor size, type (4 bytes each), then name and descriptor,
  // each padded to the segment's alignment (4, or 8 for some newer notes).
  constexpr uint64_t kHeaderSize = 12;
  const uint64_t align = alignment == 8 ? 8 : 4;
  const auto aligned = [align](uint64_t size) { return (size + align - 1) / align * align; };
  uint64_t offset = 0;
  while (notes.size() - offset >= kHeaderSize) {
    uint32_t name_size = 0, descriptor_size = 0, type = 0;
    std::memcpy(&name_size, notes.data() + offset, 4);
    std::memcpy(&descriptor_size, notes.data() + offset + 4, 4);
    std::memcpy(&type, notes.data() + offset + 8, 4);
    const uint64_t name_at = offset + kHeaderSize;
    const uint64_t descriptor_at = name_at + aligned(name_size);
    if (descriptor_at > notes.size() || descriptor_size > notes.size() - descriptor_at) break;
    if (type == NT_GNU_BUILD_ID && notes.substr(name_at, name_size) == std::string_view("GNU", 4)) {
      return std::string(notes.substr(descriptor_at, descriptor_size));
    }
    offset = descriptor_at + aligned(descriptor_size);
    if (offset > notes.size()) break;
  }
  return {};
}

std::optional<std::string> ReadModuleSection(const LoadedModule& module,
                                             std::string_view section_name) {
  if (module.is_executable) return ReadElfSection("/proc/self/exe", section_name);
  // A module without a file of its own (the kernel's vDSO) is named without a folder: a
  // file of that name in the current folder is not it.
  if (!module.path.starts_with('/')) return std::nullopt;
  return ReadElfSection(module.path, section_name);
}

}  // namespace userdb::platform
