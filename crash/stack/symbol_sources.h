// Building a module's symbol table from the symbol information it carries or that lies
// beside it.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "crash/stack/debug_file.h"
#include "crash/stack/map_file.h"
#include "crash/stack/module_info.h"
#include "crash/stack/symbol_data.h"

namespace userdb::crash {

// Which sources are tried, and where separate debug files are looked for.
struct SymbolSourceOptions {
  bool program_section = true;  // the packed symbol section in the module's own file
  bool debug_info = true;       // DWARF and ELF symbol tables, of the file or its debug file
  bool files_beside = true;     // "<name>.map", then "<name>.Vostrel" beside the module
  std::string debug_root = detail::kSystemDebugRoot;
};

// The table of the first source that yields symbols, in this order:
// 1. the packed symbol section (packed_symbols.h) of the module's file;
// 2. the DWARF and ELF symbol table of the module's file when it has DWARF, else those of
//    its separate debug file (debug_file.h), else the file's ELF symbol table alone; the
//    dynamic symbol table is the module's exports, not a source of symbols here;
// 3. beside the module, named like its file up to the last "." of the file name: ".map", the
//    GNU linker's map (linker_map.h), then ".Vostrel", a file in the packed format.
//    (The JEDI debug format of other platforms has no producer here and is not read.)
// Symbols that describe another build than the loaded module (a different GNU build id: an
// old packed file, a library file replaced on disk while the old one stays loaded) are passed
// over.
// Invalid when no source yields symbols; never fails otherwise.
std::shared_ptr<const TMapFile> BuildSymbolTable(const ModuleInfo& module,
                                                 const SymbolSourceOptions& options = {});

// The symbols of source 2 for the ELF file at `path` (the build tool packs these). `path`
// is read; `module_path` names the module for its debug link.
std::optional<detail::SymbolData> ReadDebugSymbols(const std::string& path,
                                                   const std::string& module_path,
                                                   const std::string& debug_root);

}  // namespace userdb::crash
