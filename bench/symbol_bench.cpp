// Costs of naming code addresses: building the symbol table of userdb-transform from its
// packed section and from its DWARF, one LocationInfo on a built table, and the size of the
// packed section against the program's debug information.
#include <benchmark/benchmark.h>
#include <gelf.h>

#include <random>
#include <string>

#include "crash/stack/elf_file.h"
#include "crash/stack/map_file_lookup.h"
#include "crash/stack/packed_symbols.h"
#include "crash/stack/symbol_lookup.h"
#include "crash/stack/symbol_sources.h"
#include "platform/module_section.h"

namespace {

using namespace userdb::crash;

SymbolSourceOptions Only(bool program_section) {
  SymbolSourceOptions options;
  options.program_section = program_section;
  options.debug_info = !program_section;
  options.files_beside = false;
  return options;
}

void BuildTable(benchmark::State& state, bool program_section) {
  const ModuleInfo module = *ModuleInfoOfFile(PROGRAM_PATH);
  for (auto _ : state) {
    const auto table = BuildSymbolTable(module, Only(program_section));
    if (!table->Valid()) state.SkipWithError("no symbols");
    benchmark::DoNotOptimize(table);
  }
}

void BM_TableFromPackedSection(benchmark::State& state) {
  BuildTable(state, true);
}
BENCHMARK(BM_TableFromPackedSection)->Unit(benchmark::kMillisecond);

void BM_TableFromDwarf(benchmark::State& state) {
  BuildTable(state, false);
}
BENCHMARK(BM_TableFromDwarf)->Unit(benchmark::kMillisecond);

void BM_LocationInfo(benchmark::State& state) {
  const auto table = BuildSymbolTable(*ModuleInfoOfFile(PROGRAM_PATH), Only(true));
  std::mt19937_64 random(11);
  std::uniform_int_distribution<uintptr_t> in_code(table->CodeRange().start,
                                                   table->CodeRange().end - 1);
  std::vector<uintptr_t> addresses(4096);
  for (uintptr_t& address : addresses) address = in_code(random);
  size_t next = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(LocationInfo(*table, addresses[next++ % addresses.size()]));
  }
}
BENCHMARK(BM_LocationInfo);

// The whole way from an address of this process: module list, cache check, table look-up.
void BM_LocationInfoOfAnAddressInThisProcess(benchmark::State& state) {
  SymbolLookup lookup;
  const auto here = reinterpret_cast<uintptr_t>(&BM_LocationInfoOfAnAddressInThisProcess);
  for (auto _ : state) benchmark::DoNotOptimize(lookup.LocationInfo(here).line);
}
BENCHMARK(BM_LocationInfoOfAnAddressInThisProcess);

// Reports the sizes as counters: the packed section, the debug sections, and the share.
void BM_PackedSectionSize(benchmark::State& state) {
  const size_t packed = userdb::platform::ReadElfSection(PROGRAM_PATH, kSymbolSectionName)->size();
  size_t debug = 0;
  const auto file = detail::ElfFile::Open(PROGRAM_PATH);
  size_t names = 0;
  elf_getshdrstrndx(file->Get(), &names);
  for (Elf_Scn* section = elf_nextscn(file->Get(), nullptr); section != nullptr;
       section = elf_nextscn(file->Get(), section)) {
    GElf_Shdr header;
    const char* name =
        gelf_getshdr(section, &header) ? elf_strptr(file->Get(), names, header.sh_name) : nullptr;
    if (name != nullptr && std::string_view(name).starts_with(".debug")) debug += header.sh_size;
  }
  for (auto _ : state) benchmark::DoNotOptimize(packed);
  state.counters["packed_bytes"] = static_cast<double>(packed);
  state.counters["debug_info_bytes"] = static_cast<double>(debug);
  state.counters["packed_percent"] =
      100.0 * static_cast<double>(packed) / static_cast<double>(debug);
}
BENCHMARK(BM_PackedSectionSize)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
