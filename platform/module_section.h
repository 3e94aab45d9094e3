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

struct LoadedModule {
  std::string path;         // the module's file; for the executable the target of /proc/self/exe
  uintptr_t load_bias = 0;  // added to a link-time address gives the address in memory
  bool is_executable = false;
};

// The module whose loaded segments contain `address`; none for an address outside them.
std::optional<LoadedModule> ModuleContaining(const void* address);

// Every module of the process, in ascending order of load address.
std::vector<LoadedModule> LoadedModules();

// The file of the running executable.
std::string ExecutablePath();

// The bytes of the first section named `section_name` in the ELF file at `path`; none
// when the file cannot be read, is not a 64-bit little-endian ELF file, is damaged or has
// no such section. A section without file contents (SHT_NOBITS) reads as empty.
std::optional<std::string> ReadElfSection(const std::string& path, std::string_view section_name);

// The section of a loaded module's file. The executable is read through /proc/self/exe,
// which stays the running program even when its path was replaced meanwhile; a module
// without a path from the root has no file to read.
std::optional<std::string> ReadModuleSection(const LoadedModule& module,
                                             std::string_view section_name);

}  // namespace userdb::platform
