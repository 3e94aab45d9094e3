#include "crash/stack/symbol_lookup.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <atomic>
#include <filesystem>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "tests/crash/stack/symbol_test_support.h"
#include "tests/support/temp_folder.h"

namespace userdb::crash {
namespace {

using test::LineOf;
using test::LoadedLibrary;

constexpr char kUnit[] = "symbol_test_library.cpp";

int FirstLine() {
  return LineOf(SYMTEST_SOURCE, "first line of symtest_first");
}
int CallLine() {
  return LineOf(SYMTEST_SOURCE, "// the call");
}

struct Variant {
  const char* name;
  const char* path;
  const char* minimal_debug_start;
};

class SymbolLookupVariantTest : public ::testing::TestWithParam<Variant> {};

// With DWARF, and stripped of everything but the packed section: the same names and lines.
TEST_P(SymbolLookupVariantTest, NamesFunctionsUnitsAndLines) {
  LoadedLibrary library(GetParam().path);
  SymbolLookup lookup;
  const uintptr_t first = library.Address("symtest_first");

  const Location location = lookup.LocationInfo(first);
  ASSERT_TRUE(location.found);
  EXPECT_EQ(location.module_file_name, std::filesystem::canonical(GetParam().path).string());
  EXPECT_EQ(location.unit, kUnit);
  EXPECT_EQ(location.public_name, "symtest_first");
  EXPECT_EQ(location.public_address, first);
  EXPECT_EQ(location.line, FirstLine());

  const uintptr_t return_address = library.Call("symtest_call_site");
  const Location call = lookup.LocationInfo(return_address - 1);
  EXPECT_EQ(call.public_name, "symtest_call_site");
  EXPECT_EQ(call.line, CallLine());

  const struct {
    uintptr_t address;
    const char* name;
  } functions[] = {{library.Address("symtest_second"), "symtest_second"},
                   {library.Call("symtest_hidden_step"), "(anonymous namespace).HiddenStep"},
                   {library.Call("symtest_gadget_turn"), "symtest.Gadget.Turn"}};
  for (const auto& function : functions) {
    const Location named = lookup.LocationInfo(function.address + 4);
    EXPECT_EQ(named.public_name, function.name);
    EXPECT_EQ(named.public_address, function.address);
    EXPECT_EQ(named.unit, kUnit);
    EXPECT_GT(named.line, 0) << function.name;
  }
  EXPECT_TRUE(
      std::string(location.table->MinimalDebug()).starts_with(GetParam().minimal_debug_start))
      << location.table->MinimalDebug();
}

TEST_P(SymbolLookupVariantTest, QualifiedProcNameAtAFunctionsFirstByteOnly) {
  LoadedLibrary library(GetParam().path);
  SymbolLookup lookup;
  const uintptr_t first = library.Address("symtest_first");
  EXPECT_EQ(lookup.QualifiedProcName(first), std::string(kUnit) + ".symtest_first");
  EXPECT_EQ(lookup.QualifiedProcName(first + 1), "");
  EXPECT_EQ(lookup.QualifiedProcName(library.Call("symtest_gadget_turn")),
            std::string(kUnit) + ".symtest.Gadget.Turn");
}

INSTANTIATE_TEST_SUITE_P(Sources, SymbolLookupVariantTest,
                         ::testing::Values(Variant{"Dwarf", SYMTEST_DWARF, "DWARF, build id "},
                                           Variant{"PackedSection", SYMTEST_PACKED,
                                                   "packed DWARF, build id "}),
                         [](const auto& test_info) { return std::string(test_info.param.name); });

TEST(SymbolLookupTest, LinkerMapBesideAStrippedLibraryNamesItsGlobalFunctions) {
  LoadedLibrary library(SYMTEST_MAP);
  SymbolLookup lookup;
  for (const char* name : {"symtest_first", "symtest_second", "symtest_call_site"}) {
    const uintptr_t address = library.Address(name);
    const Location location = lookup.LocationInfo(address + 2);
    ASSERT_TRUE(location.found) << name;
    EXPECT_EQ(location.public_name, name);
    EXPECT_EQ(location.public_address, address);
    EXPECT_EQ(location.unit, kUnit);
    EXPECT_EQ(location.line, 0) << "a map names no lines";
  }
  EXPECT_EQ(lookup.LocationInfo(library.Call("symtest_gadget_turn")).public_name,
            "symtest.Gadget.Turn");
  EXPECT_TRUE(std::string(lookup.SymbolTableFor(library.Address("symtest_first"))->MinimalDebug())
                  .starts_with("map file, build id "));
}

TEST(SymbolLookupTest, AModuleWithoutSymbolsIsNamedThroughItsExports) {
  LoadedLibrary library(SYMTEST_EXPORTS);
  SymbolLookup lookup;
  const uintptr_t first = library.Address("symtest_first");
  EXPECT_FALSE(lookup.SymbolTableFor(first)->Valid());
  EXPECT_FALSE(lookup.LocationInfo(first).found);
  EXPECT_EQ(lookup.QualifiedProcName(first), "");

  const auto index = lookup.Modules().Add(first);
  ASSERT_TRUE(index);
  const uintptr_t handle = lookup.Modules().At(*index).info->handle;
  const uintptr_t turn = library.Call("symtest_gadget_turn");
  EXPECT_EQ(lookup.ExportNameAt(handle, first, false), "symtest_first");
  EXPECT_EQ(lookup.ExportNameAt(handle, first, true), "symtest_first");
  EXPECT_EQ(lookup.ExportNameAt(handle, turn, false), "_ZN7symtest6Gadget4TurnEi");
  EXPECT_EQ(lookup.ExportNameAt(handle, turn, true), "symtest.Gadget.Turn");
  EXPECT_EQ(lookup.ExportNameAt(handle, first + 1, true), "");
  EXPECT_EQ(lookup.ExportNameAt(handle + 1, first, true), "") << "no module has that handle";

  EXPECT_EQ(lookup.NearestExport(handle, first + 3), first);
  EXPECT_LT(lookup.NearestExport(handle, first), first) << "below, not at";
  // The static function is no export: the nearest export below it names it.
  const uintptr_t hidden = library.Call("symtest_hidden_step");
  const uintptr_t nearest = lookup.NearestExport(handle, hidden + 1);
  EXPECT_LE(nearest, hidden);
  EXPECT_NE(lookup.ExportNameAt(handle, nearest, false), "");
}

TEST(SymbolLookupTest, NullAddressMeansTheProgramAndTheCallersLocation) {
  SymbolLookup lookup;
  const auto program = lookup.SymbolTableFor(0);
  ASSERT_TRUE(program->Valid());
  EXPECT_EQ(program->FileName(), std::filesystem::canonical("/proc/self/exe").string());

  const int line = __LINE__ + 1;
  const Location here = lookup.LocationInfo(0);
  ASSERT_TRUE(here.found);
  EXPECT_EQ(here.unit, "symbol_lookup_test.cpp");
  EXPECT_TRUE(
      here.public_name.ends_with("NullAddressMeansTheProgramAndTheCallersLocation_Test.TestBody"))
      << here.public_name;
  EXPECT_GE(here.line, line);
  EXPECT_LE(here.line, line + 2);
}

TEST(SymbolLookupTest, AddressInNoModuleHasAnInvalidTable) {
  SymbolLookup lookup;
  EXPECT_FALSE(lookup.SymbolTableFor(0x10)->Valid());
  EXPECT_FALSE(lookup.LocationInfo(0x10).found);
  int line = 0;
  uintptr_t low = 0, high = 0;
  lookup.CachedLineLookup(0x10, line, low, high);
  EXPECT_EQ(line, 0);
  EXPECT_EQ(low, 0x10u);
  EXPECT_EQ(high, 0x11u);
}

TEST(SymbolLookupTest, ValidTablesAreSharedByCacheAndModuleList) {
  LoadedLibrary library(SYMTEST_DWARF);
  SymbolLookup lookup;
  const uintptr_t first = library.Address("symtest_first");
  const auto table = lookup.SymbolTableFor(first);
  EXPECT_EQ(lookup.SymbolTableFor(library.Address("symtest_second")), table);
  EXPECT_EQ(lookup.Modules().At(*lookup.Modules().Add(first)).table, table);
  EXPECT_EQ(lookup.Cache().Count(), 1u);
}

// The rebuilt library replaces the first in place: same path, inode and size, and a time of
// last modification one nanosecond later.
TEST(SymbolLookupTest, AModuleFileRebuiltMeanwhileIsReadAgainOnTheNextLookUp) {
  test_support::TempFolder folder;
  const std::string path = folder / "libsymtest_swapped.so";
  const test::LibraryBuilds builds = test::LibraryBuildsOfOneSize(SYMTEST_DWARF, SYMTEST_REBUILT);

  SymbolLookup lookup;
  test::WriteInPlace(path, builds.first, {1'700'000'000, 100});
  struct stat before {};
  stat(path.c_str(), &before);
  {
    LoadedLibrary library(path);
    const Location location = lookup.LocationInfo(library.Address("symtest_first"));
    EXPECT_EQ(location.unit, kUnit);
    EXPECT_EQ(location.line, FirstLine());
  }
  ASSERT_EQ(dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD), nullptr) << "still loaded";

  test::WriteInPlace(path, builds.rebuilt, {1'700'000'000, 101});
  struct stat after {};
  stat(path.c_str(), &after);
  ASSERT_EQ(after.st_ino, before.st_ino);
  ASSERT_EQ(after.st_size, before.st_size);
  ASSERT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);

  LoadedLibrary library(path);
  const Location location = lookup.LocationInfo(library.Address("symtest_first"));
  EXPECT_EQ(location.unit, "symbol_test_library_rebuilt.cpp");
  EXPECT_EQ(location.public_name, "symtest_first");
}

// An update replaces a library's file while the old one stays loaded: the new file's
// symbols and exports would name the old code wrongly.
TEST(SymbolLookupTest, ALibraryFileReplacedWhileLoadedNamesNothingWrongly) {
  test_support::TempFolder folder;
  const std::string path = folder / "libsymtest_updated.so";
  std::filesystem::copy_file(SYMTEST_DWARF, path);
  LoadedLibrary library(path);
  std::filesystem::copy_file(SYMTEST_REBUILT, folder / "new.so");
  std::filesystem::rename(folder / "new.so", path);

  SymbolLookup lookup;
  const uintptr_t first = library.Address("symtest_first");
  EXPECT_FALSE(lookup.LocationInfo(first).found);
  const uintptr_t handle = lookup.Modules().At(*lookup.Modules().Add(first)).info->handle;
  EXPECT_EQ(lookup.ExportNameAt(handle, first, false), "");
  EXPECT_EQ(lookup.NearestExport(handle, first + 1), 0u);
}

TEST(SymbolLookupTest, ThreadsLookUpAtOnce) {
  LoadedLibrary dwarf(SYMTEST_DWARF);
  LoadedLibrary packed(SYMTEST_PACKED);
  SymbolLookup lookup;
  const uintptr_t addresses[] = {dwarf.Address("symtest_first"), packed.Address("symtest_first"),
                                 dwarf.Address("symtest_second"), packed.Address("symtest_second")};
  const char* names[] = {"symtest_first", "symtest_first", "symtest_second", "symtest_second"};
  std::atomic<int> wrong = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < 200; ++round) {
        const size_t which = static_cast<size_t>(t + round) % std::size(addresses);
        if (lookup.LocationInfo(addresses[which]).public_name != names[which]) ++wrong;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(wrong, 0);
  EXPECT_EQ(lookup.Cache().Count(), 2u);
}

}  // namespace
}  // namespace userdb::crash
