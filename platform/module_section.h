// The loaded modules of this process (the executable and its shared libraries) and the
// named ELF sections of their files: the stand-in for the resources that a Windows module
// carries. A section need not be loaded into memory, so a record kept in one can be
// replaced in a built program (objcopy --update-section) without any size limit.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace userdb::platform {

// One program header of an ELF image: a segment and where it lies in the file and in memory.
struct ElfSegment {
  uint32_t type = 0;   // PT_LOAD, PT_NOTE, ...
  uint32_t flags = 0;  // PF_X, PF_W, PF_R
  uint64_t offset = 0;
  uint64_t vaddr = 0;  // link-time address
  uint64_t filesz = 0;
  uint64_t memsz = 0;
  uint64_t align = 0;
};

struct LoadedModule {
  std::string path;         // the module's file; for the executable the target of /proc/self/exe
  uintptr_t load_bias = 0;  // added to a link-time address gives the address in memory
  bool is_executable = false;
};

// A loaded module with its program headers, as the dynamic loader lists them.
struct LoadedImage {
  LoadedModule module;
  std::vector<ElfSegment> segments;
};

// The module whose loaded segments contain `address`; none for an address outside them.
std::optional<LoadedModule> ModuleContaining(const void* address);

// The same with the module's program headers.
std::optional<LoadedImage> LoadedImageContaining(const void* address);

// Every module of the process, in ascending order of load address.
std::vector<LoadedModule> LoadedModules();

// The file of the running executable.
std::string ExecutablePath();

// The bytes of the first section named `section_name` in the ELF file at `path`; none
// when the file cannot be read, is not a 64-bit little-endian ELF file, is damaged or has
// no such section. A section without file contents (SHT_NOBITS) reads as empty.
std::optional<std::string> ReadElfSection(const std::string& path, std::string_view section_name);

// Where the first section named `section_name` (at most 63 bytes) lies in the ELF file open
// as `fd`: its offset and size; none as for ReadElfSection. It reads the file with pread, one
// header at a time, and allocates nothing: safe inside a signal handler.
struct FileExtent {
  uint64_t offset = 0;
  uint64_t size = 0;
};
std::optional<FileExtent> FindElfSection(int fd, std::string_view section_name);

// The section of a loaded module's file. The executable is read through /proc/self/exe,
// which stays the running program even when its path was replaced meanwhile; a module
// without a path from the root has no file to read.
std::optional<std::string> ReadModuleSection(const LoadedModule& module,
                                             std::string_view section_name);

// What an ELF file says about its image: entry point, program headers and GNU build id.
struct ElfImage {
  uint64_t entry = 0;  // link-time address; 0 when the file names none
  std::vector<ElfSegment> segments;
  std::string build_id;  // raw bytes; empty when the file has none
};

// The image description of the ELF file at `path`; none when the file cannot be read, is not a
// 64-bit little-endian ELF file or its program headers lie outside it.
std::optional<ElfImage> ReadElfImage(const std::string& path);

// The GNU build id in the bytes of a note segment of the given alignment; empty when they
// hold none. A note that reaches past the bytes ends the search.
std::string GnuBuildIdOfNotes(std::string_view notes, uint64_t alignment = 4);

}  // namespace userdb::platform
