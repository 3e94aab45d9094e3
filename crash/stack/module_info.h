// What the crash reporter knows of one module (the executable or a shared library) before
// it reads any symbols: where its code and data lie, and which file describes it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace userdb::crash {

// The addresses from `start` up to `end`, `end` itself excluded.
struct AddressRange {
  uintptr_t start = 0;
  uintptr_t end = 0;

  bool Empty() const { return end <= start; }
};

// Whether `address` belongs to a module's code or data range in the module list's sense:
// above the range's start and at or below its end. (A return address may follow the range's
// last instruction; the first byte of a range is its headers' business, not code's.)
inline bool InModuleRange(const AddressRange& range, uintptr_t address) {
  return !range.Empty() && range.start < address && address <= range.end;
}

struct ModuleInfo {
  uintptr_t handle = 0;       // the load base: where the module's first loaded segment starts
  uintptr_t bias = 0;         // added to a link-time address of its file gives the address here
  std::string path;           // the module's file, full path
  std::string file_name;      // the same without its folder
  std::string readable_path;  // the file to read: /proc/self/exe for the running program
  AddressRange code;          // its executable loaded segments
  AddressRange data;          // its writable loaded segments
  uintptr_t entry_point = 0;  // 0 when it names none
  std::string build_id;       // the GNU build id, raw bytes; empty when none
  bool is_main = false;       // the program's own executable
};

// The loaded module whose segments hold `address`; none for an address in no module, and for
// a module whose name cannot be found.
std::optional<ModuleInfo> LoadedModuleInfo(uintptr_t address);

// The program's own executable.
std::optional<ModuleInfo> MainModuleInfo();

// A module file that is not loaded, described as if it were loaded at its link-time
// addresses (bias 0): for build tools, benchmarks and tests. None when its headers cannot be
// read.
std::optional<ModuleInfo> ModuleInfoOfFile(const std::string& path);

}  // namespace userdb::crash
