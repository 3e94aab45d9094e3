// The symbol table of one module: its segments (units), publics (functions and other named
// addresses) and line entries, at the addresses where the module is loaded.
//
// A table never changes once built; it is shared (std::shared_ptr) between the symbol cache,
// the module list and whoever looks something up, so it stays alive while any of them uses
// it. Every look-up on a built table (map_file_lookup.h) takes no lock and allocates nothing:
// names come back as views into the table.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "crash/stack/module_info.h"
#include "crash/stack/symbol_data.h"

namespace userdb::crash {

struct TMfSegment {
  bool valid = false;
  bool code = false;  // code, or data
  uintptr_t start = 0;
  uintptr_t length = 0;
  std::string_view unit;  // the source file name without folder
  bool has_lines = false;
};

struct TMfPublic {
  bool valid = false;
  bool code = false;
  uintptr_t address = 0;
  std::string_view name;
};

struct TMfLine {
  uintptr_t address = 0;
  uint32_t line = 0;
};

class TMapFile {
 public:
  // An invalid table of the module: no source yielded symbols.
  static std::shared_ptr<const TMapFile> Invalid(const ModuleInfo& module);

  // The table of `symbols`, whose addresses are those of the module's file; it is valid when
  // they hold any segment or public. Entries that would lie outside the address space once
  // moved by the module's bias are left out.
  static std::shared_ptr<const TMapFile> Build(const ModuleInfo& module,
                                               const detail::SymbolData& symbols);

  TMapFile(const TMapFile&) = delete;
  TMapFile& operator=(const TMapFile&) = delete;

  bool Valid() const { return valid_; }
  const std::string& FileName() const { return path_; }  // full path
  std::string_view ModuleFileName() const;               // without folder
  uintptr_t Handle() const { return handle_; }
  AddressRange CodeRange() const { return code_range_; }
  AddressRange DataRange() const { return data_range_; }

  // The segments of one kind, in ascending order of start.
  std::span<const TMfSegment> Segments(bool code) const {
    return code ? code_segments_ : data_segments_;
  }
  // For each segment of a kind, the greatest end of it and every segment before it: lets a
  // search for the segments holding an address stop early.
  std::span<const uintptr_t> SegmentEndsSoFar(bool code) const {
    return code ? code_ends_so_far_ : data_ends_so_far_;
  }
  std::span<const TMfPublic> Publics() const { return publics_; }  // ascending address
  std::span<const TMfLine> Lines() const { return lines_; }        // ascending address
  std::string_view MinimalDebug() const { return minimal_debug_; }

 private:
  struct PrivateTag {};

 public:
  TMapFile(PrivateTag, const ModuleInfo& module);

 private:
  std::string_view Keep(std::string_view text);
  void TakeSymbols(const detail::SymbolData& symbols, uintptr_t bias);

  bool valid_ = false;
  std::string path_;
  uintptr_t handle_ = 0;
  AddressRange code_range_, data_range_;
  std::string names_;  // every unit and public name; reserved once, so views into it hold
  std::vector<TMfSegment> code_segments_, data_segments_;
  std::vector<uintptr_t> code_ends_so_far_, data_ends_so_far_;
  std::vector<TMfPublic> publics_;
  std::vector<TMfLine> lines_;
  std::string minimal_debug_;
};

}  // namespace userdb::crash
