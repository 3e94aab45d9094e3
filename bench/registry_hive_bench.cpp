// Costs of the registry's hive file at sizes no user makes by hand but a hostile or
// runaway program can leave behind: parsing a hive of many keys, writing one value into
// it, and parsing deeply nested keys.
#include <benchmark/benchmark.h>

#include <sstream>
#include <string>

#include "platform/registry/regedit_reader.h"
#include "platform/registry/registry_access.h"
#include "tests/support/temp_folder.h"

namespace {

// A hive of `count` keys beside each other, one value each.
std::string ManyKeys(int64_t count) {
  std::string file = "REGEDIT4\n";
  for (int64_t number = 0; number < count; ++number) {
    file += "\n[HKEY_CURRENT_USER\\Software\\Bench\\Key " + std::to_string(number) +
            "]\n\"Value\"=dword:00000001\n";
  }
  return file;
}

// About `size` bytes of keys, each `depth` levels deep below a key of its own.
std::string NestedKeys(size_t size, int64_t depth) {
  std::string file = "REGEDIT4\n";
  for (int number = 0; file.size() < size; ++number) {
    file += "\n[HKEY_CURRENT_USER\\Top " + std::to_string(number);
    for (int64_t level = 1; level < depth && file.size() < size; ++level) file += "\\k";
    file += "]\n";
  }
  return file;
}

void Parse(benchmark::State& state, const std::string& file) {
  bool refused = false;
  for (auto _ : state) {
    try {
      benchmark::DoNotOptimize(userdb::registry::ParseRegeditFile(file));
    } catch (const userdb::registry::DamagedRegistryFile&) {
      refused = true;
    }
  }
  state.SetLabel(refused ? "refused" : "parsed");
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * file.size()));
}

void BM_ParseManyKeys(benchmark::State& state) {
  Parse(state, ManyKeys(state.range(0)));
}
BENCHMARK(BM_ParseManyKeys)->Arg(10000)->Arg(80000)->Unit(benchmark::kMillisecond);

// 200 KB of keys nested `depth` levels deep.
void BM_ParseNestedKeys(benchmark::State& state) {
  Parse(state, NestedKeys(200000, state.range(0)));
}
BENCHMARK(BM_ParseNestedKeys)->Arg(500)->Arg(100000)->Unit(benchmark::kMillisecond);

// The hive file in a folder of its own, removed afterwards.
struct HiveFolder {
  explicit HiveFolder(const std::string& contents) {
    userdb::test_support::WriteFile(File(), contents);
  }
  std::string File() const { return folder / "registry.reg"; }

  userdb::test_support::TempFolder folder;
};

// One value written into a large hive, as the program writes its selections: the key is
// opened (a look-up), then the value set (a locked read-modify-write of the whole file).
void BM_WriteIntoManyKeys(benchmark::State& state) {
  HiveFolder folder(ManyKeys(state.range(0)));
  std::ostringstream diagnostics;
  userdb::registry::RegistryStore store(folder.File(), diagnostics);
  int round = 0;
  for (auto _ : state) {
    userdb::registry::RegistryAccess access(store);
    access.OpenOrCreateKey("\\Software\\ZID\\DefaultUserbinPath");
    access.WriteString("Path", "/home/operator/radio/UserDb" + std::to_string(round++) + ".bin");
  }
  if (!diagnostics.str().empty()) state.SkipWithError(diagnostics.str().c_str());
}
BENCHMARK(BM_WriteIntoManyKeys)->Arg(10000)->Arg(80000)->Unit(benchmark::kMillisecond);

// One value read from a large hive that nobody changes meanwhile.
void BM_ReadFromManyKeys(benchmark::State& state) {
  HiveFolder folder(ManyKeys(state.range(0)) +
                    "\n[HKEY_CURRENT_USER\\Software\\ZID\\DefaultUserbinPath]\n\"Path\"=\"x\"\n");
  std::ostringstream diagnostics;
  userdb::registry::RegistryStore store(folder.File(), diagnostics);
  for (auto _ : state) {
    userdb::registry::RegistryAccess access(store);
    access.OpenExistingKey("\\Software\\ZID\\DefaultUserbinPath");
    benchmark::DoNotOptimize(access.ReadString("Path"));
  }
}
BENCHMARK(BM_ReadFromManyKeys)->Arg(10000)->Arg(80000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
