// The functions named in an ELF file's symbol tables.
#pragma once

#include <libelf.h>

#include <cstdint>
#include <string_view>
#include <vector>

namespace userdb::crash::detail {

struct ElfFunctionSymbol {
  uint64_t address = 0;   // link-time address
  std::string_view name;  // as stored (mangled); valid while the file stays open
};

// The defined functions (and indirect functions) of every symbol table of the type (SHT_SYMTAB
// for the full table, SHT_DYNSYM for the exports), in ascending order of address; of several
// names at one address the best comes first: global before weak before local, then the name
// first in byte order.
std::vector<ElfFunctionSymbol> FunctionSymbols(Elf* elf, uint32_t table_type);

}  // namespace userdb::crash::detail
