#include "crash/stack/symbol_sources.h"

#include <elf.h>

#include "crash/stack/demangle.h"
#include "crash/stack/dwarf_units.h"
#include "crash/stack/elf_file.h"
#include "crash/stack/elf_symbols.h"
#include "crash/stack/linker_map.h"
#include "crash/stack/packed_symbols.h"
#include "platform/module_section.h"
#include "platform/whole_file.h"

namespace userdb::crash {
namespace {

using detail::SymbolData;

constexpr size_t kMaxMapFileSize = size_t{256} << 20;

// Publics from the functions of the file's full symbol table.
void AddFunctionPublics(const detail::ElfFile& file, SymbolData& symbols) {
  for (const auto& function : detail::FunctionSymbols(file.Get(), SHT_SYMTAB)) {
    symbols.publics.push_back({function.address, ReadableName(function.name), true});
  }
}

struct ElfSymbols {
  SymbolData symbols;
  bool has_dwarf = false;
};

ElfSymbols ReadElfSymbols(const detail::ElfFile& file) {
  ElfSymbols result;
  result.has_dwarf = detail::ReadDwarfUnits(file.Get(), result.symbols);
  AddFunctionPublics(file, result.symbols);
  return result;
}

std::optional<SymbolData> Described(SymbolData symbols, const char* source,
                                    const std::string& build_id) {
  if (!symbols.HasSymbols()) return std::nullopt;
  symbols.build_id = build_id;
  symbols.minimal_debug = detail::MinimalDebugText(source, build_id);
  return symbols;
}

// Symbols describe another build than the loaded module when both name their build ids and
// these differ: a packed file of an older build, or a library file replaced on disk (by an
// update) while the old one stays loaded.
std::optional<SymbolData> OfThisBuild(std::optional<SymbolData> symbols, const ModuleInfo& module) {
  if (symbols && !module.build_id.empty() && !symbols->build_id.empty() &&
      symbols->build_id != module.build_id) {
    return std::nullopt;
  }
  return symbols;
}

std::optional<SymbolData> Unpacked(const std::optional<std::string>& packed,
                                   const ModuleInfo& module) {
  if (!packed) return std::nullopt;
  auto symbols = UnpackSymbols(*packed);
  if (!symbols || !symbols->HasSymbols()) return std::nullopt;
  return OfThisBuild(std::move(symbols), module);
}

std::optional<SymbolData> FromProgramSection(const ModuleInfo& module) {
  return Unpacked(platform::ReadElfSection(module.readable_path, kSymbolSectionName), module);
}

// The module's path up to the last "." of its file name; the whole path when it has none.
std::string PathStem(const std::string& path) {
  const size_t dot = path.rfind('.');
  const size_t slash = path.rfind('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return path;
  return path.substr(0, dot);
}

std::optional<SymbolData> FromFilesBeside(const ModuleInfo& module) {
  if (!module.path.starts_with('/')) return std::nullopt;  // no folder to look in
  const std::string stem = PathStem(module.path);
  if (const auto text = platform::ReadRegularFile(stem + ".map", kMaxMapFileSize)) {
    if (auto symbols = detail::ParseLinkerMap(*text)) {
      if (auto described = Described(std::move(*symbols), "map file", module.build_id)) {
        return described;
      }
    }
  }
  return Unpacked(
      platform::ReadRegularFile(stem + std::string(kPackedFileExtension), kMaxInflatedSize),
      module);
}

}  // namespace

std::optional<SymbolData> ReadDebugSymbols(const std::string& path, const std::string& module_path,
                                           const std::string& debug_root) {
  const auto file = detail::ElfFile::Open(path);
  if (!file) return std::nullopt;
  const std::string build_id = file->BuildId();
  ElfSymbols own = ReadElfSymbols(*file);
  if (own.has_dwarf) return Described(std::move(own.symbols), "DWARF", build_id);
  if (const auto debug_file =
          detail::OpenSeparateDebugFile(module_path, *file, build_id, debug_root)) {
    ElfSymbols separate = ReadElfSymbols(*debug_file);
    const char* source = separate.has_dwarf ? "separate DWARF" : "separate ELF symbols";
    if (auto described = Described(std::move(separate.symbols), source, build_id)) return described;
  }
  return Described(std::move(own.symbols), "ELF symbols", build_id);
}

std::shared_ptr<const TMapFile> BuildSymbolTable(const ModuleInfo& module,
                                                 const SymbolSourceOptions& options) {
  std::optional<SymbolData> symbols;
  if (options.program_section) symbols = FromProgramSection(module);
  if (!symbols && options.debug_info) {
    symbols = OfThisBuild(ReadDebugSymbols(module.readable_path, module.path, options.debug_root),
                          module);
  }
  if (!symbols && options.files_beside) symbols = FromFilesBeside(module);
  if (!symbols) return TMapFile::Invalid(module);
  return TMapFile::Build(module, *symbols);
}

}  // namespace userdb::crash
