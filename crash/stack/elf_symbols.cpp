#include "crash/stack/elf_symbols.h"

#include <gelf.h>

#include <algorithm>
#include <tuple>

namespace userdb::crash::detail {
namespace {

int BindingRank(unsigned char binding) {
  switch (binding) {
    case STB_GLOBAL:
      return 0;
    case STB_WEAK:
      return 1;
    default:
      return 2;
  }
}

struct RankedSymbol {
  ElfFunctionSymbol symbol;
  int rank = 0;
};

bool IsDefinedFunction(const GElf_Sym& symbol) {
  const unsigned char type = GELF_ST_TYPE(symbol.st_info);
  return (type == STT_FUNC || type == STT_GNU_IFUNC) && symbol.st_shndx != SHN_UNDEF &&
         symbol.st_value != 0;
}

void AddTable(Elf* elf, Elf_Scn* section, const GElf_Shdr& header, std::vector<RankedSymbol>& out) {
  Elf_Data* data = elf_getdata(section, nullptr);
  if (data == nullptr || header.sh_entsize == 0) return;
  const size_t count = data->d_size / header.sh_entsize;
  for (size_t i = 1; i < count; ++i) {  // entry 0 is the null symbol
    GElf_Sym symbol;
    if (gelf_getsym(data, static_cast<int>(i), &symbol) == nullptr || !IsDefinedFunction(symbol)) {
      continue;
    }
    const char* name = elf_strptr(elf, header.sh_link, symbol.st_name);
    if (name == nullptr || *name == '\0') continue;
    out.push_back({{symbol.st_value, name}, BindingRank(GELF_ST_BIND(symbol.st_info))});
  }
}

}  // namespace

std::vector<ElfFunctionSymbol> FunctionSymbols(Elf* elf, uint32_t table_type) {
  std::vector<RankedSymbol> ranked;
  for (Elf_Scn* section = elf_nextscn(elf, nullptr); section != nullptr;
       section = elf_nextscn(elf, section)) {
    GElf_Shdr header;
    if (gelf_getshdr(section, &header) != nullptr && header.sh_type == table_type) {
      AddTable(elf, section, header, ranked);
    }
  }
  std::sort(ranked.begin(), ranked.end(), [](const RankedSymbol& left, const RankedSymbol& right) {
    return std::tie(left.symbol.address, left.rank, left.symbol.name) <
           std::tie(right.symbol.address, right.rank, right.symbol.name);
  });
  std::vector<ElfFunctionSymbol> symbols;
  symbols.reserve(ranked.size());
  for (const RankedSymbol& entry : ranked) symbols.push_back(entry.symbol);
  return symbols;
}

}  // namespace userdb::crash::detail
