#include "crash/stack/symbol_sources.h"

#include <filesystem>

#include <gtest/gtest.h>

#include "crash/stack/map_file_lookup.h"
#include "crash/stack/packed_symbols.h"
#include "crash/stack/symbol_data.h"
#include "platform/module_section.h"
#include "tests/crash/stack/symbol_test_support.h"
#include "tests/support/run_program.h"
#include "tests/support/temp_folder.h"

namespace userdb::crash {
namespace {

using test::LineOf;
using test_support::RunProgram;
using test_support::TempFolder;

constexpr char kUnit[] = "symbol_test_library.cpp";

void RunTool(const std::vector<std::string>& arguments) {
  const auto result = RunProgram(arguments);
  ASSERT_EQ(result.exit_code, 0) << arguments.front() << ": " << result.err;
}

void Copy(const std::string& from, const std::string& to) {
  std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing);
}

// The table of a module file that is not loaded, at its link-time addresses.
std::shared_ptr<const TMapFile> TableOfFile(const std::string& path,
                                            const SymbolSourceOptions& options = {}) {
  const auto module = ModuleInfoOfFile(path);
  if (!module) return TMapFile::Invalid(ModuleInfo());
  return BuildSymbolTable(*module, options);
}

// The table names symtest_first with its unit and line.
void ExpectNamesFirstFunction(const TMapFile& table) {
  ASSERT_TRUE(table.Valid());
  const uintptr_t first = FindPublicByName(table, true, kUnit, true, "symtest_first");
  ASSERT_NE(first, 0u);
  EXPECT_EQ(LocationInfo(table, first).line, LineOf(SYMTEST_SOURCE, "first line of symtest_first"));
}

// A copy of the test library stripped of everything, and its DWARF in a file of its own.
class SeparateDebugFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Copy(SYMTEST_DWARF, library_);
    RunTool({OBJCOPY_PATH, "--only-keep-debug", library_, debug_file_});
    RunTool({STRIP_PATH, "--strip-all", library_});
    options_.debug_root = folder_ / "debug";
  }

  std::string BuildIdPath() const {
    const std::string hex = detail::BuildIdText(ModuleInfoOfFile(library_)->build_id);
    return folder_ / ("debug/.build-id/" + hex.substr(0, 2) + "/" + hex.substr(2) + ".debug");
  }

  void MoveDebugFile(const std::string& to) {
    std::filesystem::create_directories(std::filesystem::path(to).parent_path());
    std::filesystem::rename(debug_file_, to);
  }

  TempFolder folder_;
  const std::string library_ = folder_ / "libseparate.so";
  const std::string debug_file_ = folder_ / "libseparate.debug";
  SymbolSourceOptions options_;
};

TEST_F(SeparateDebugFileTest, FoundByBuildId) {
  EXPECT_FALSE(TableOfFile(library_, options_)->Valid());
  MoveDebugFile(BuildIdPath());
  const auto table = TableOfFile(library_, options_);
  ExpectNamesFirstFunction(*table);
  EXPECT_TRUE(std::string(table->MinimalDebug()).starts_with("separate DWARF, build id "));
}

TEST_F(SeparateDebugFileTest, FoundByDebugLinkBesideOrInADebugFolder) {
  RunTool({OBJCOPY_PATH, "--add-gnu-debuglink=" + debug_file_, library_});
  for (const std::string& place : {debug_file_, folder_ / ".debug/libseparate.debug"}) {
    if (place != debug_file_) MoveDebugFile(place);
    ExpectNamesFirstFunction(*TableOfFile(library_, options_));
  }
}

TEST_F(SeparateDebugFileTest, ADebugFileOfAnotherBuildIsNotUsed) {
  RunTool({OBJCOPY_PATH, "--only-keep-debug", SYMTEST_REBUILT, debug_file_});
  MoveDebugFile(BuildIdPath());
  EXPECT_FALSE(TableOfFile(library_, options_)->Valid());
}

// The program carries its packed section and its DWARF: both give the same table.
TEST(SymbolSourcesTest, PackedSectionHoldsWhatTheDwarfGives) {
  SymbolSourceOptions dwarf_only;
  dwarf_only.program_section = false;
  const auto packed = TableOfFile(USERDB2CSV_PATH);
  const auto dwarf = TableOfFile(USERDB2CSV_PATH, dwarf_only);
  ASSERT_TRUE(packed->Valid());
  ASSERT_TRUE(dwarf->Valid());
  EXPECT_TRUE(std::string(packed->MinimalDebug()).starts_with("packed DWARF, build id "));
  EXPECT_TRUE(std::string(dwarf->MinimalDebug()).starts_with("DWARF, build id "));
  ASSERT_EQ(packed->Publics().size(), dwarf->Publics().size());
  for (size_t i = 0; i < dwarf->Publics().size(); ++i) {
    EXPECT_EQ(packed->Publics()[i].address, dwarf->Publics()[i].address);
    EXPECT_EQ(packed->Publics()[i].name, dwarf->Publics()[i].name);
  }
  ASSERT_EQ(packed->Lines().size(), dwarf->Lines().size());
  for (size_t i = 0; i < dwarf->Lines().size(); ++i) {
    EXPECT_EQ(packed->Lines()[i].address, dwarf->Lines()[i].address);
    EXPECT_EQ(packed->Lines()[i].line, dwarf->Lines()[i].line);
  }
  ASSERT_EQ(packed->Segments(true).size(), dwarf->Segments(true).size());
  for (size_t i = 0; i < dwarf->Segments(true).size(); ++i) {
    EXPECT_EQ(packed->Segments(true)[i].start, dwarf->Segments(true)[i].start);
    EXPECT_EQ(packed->Segments(true)[i].length, dwarf->Segments(true)[i].length);
    EXPECT_EQ(packed->Segments(true)[i].unit, dwarf->Segments(true)[i].unit);
  }
}

// Code that a header defines belongs to the header, with the header's lines; the unit's own
// functions keep theirs, inlined calls counting as the line of the call.
TEST(SymbolSourcesTest, UnitsAndLinesBelongToTheFunctionsSource) {
  const auto table = TableOfFile(USERDB2CSV_PATH);
  ASSERT_TRUE(table->Valid());
  const uintptr_t main_function = FindPublicByName(*table, true, "main.cpp", true, "main");
  ASSERT_NE(main_function, 0u);
  const TMfSegment segment = FindSegment(*table, true, main_function);
  for (uintptr_t address = main_function; address < segment.start + segment.length; ++address) {
    const TableLocation location = LocationInfo(*table, address);
    if (location.public_name != "main") break;
    EXPECT_EQ(location.unit, "main.cpp");
    EXPECT_LT(location.line, LineOf(USERDB2CSV_MAIN_SOURCE, "int main(") + 100)
        << std::hex << address;
  }
}

// A row that the line table leaves at the end of a cold part does not stretch that unit over
// the code that follows it.
TEST(SymbolSourcesTest, ARowAtTheEndOfAColdPartStaysInItsUnit) {
  const auto table = TableOfFile(SYMTEST_COLD_PART);
  ASSERT_TRUE(table->Valid());
  const uintptr_t next = FindPublicByName(*table, true, "next_unit.c", true, "next_function");
  ASSERT_NE(next, 0u);
  for (uintptr_t address = next; address < next + 7; ++address) {
    const TableLocation location = LocationInfo(*table, address);
    EXPECT_EQ(location.unit, "next_unit.c") << std::hex << address;
    EXPECT_EQ(location.public_name, "next_function");
  }
  EXPECT_EQ(LocationInfo(*table, next + 1).line, 79);
  const uintptr_t cold = FindPublicByName(*table, true, "cold_part_unit.c", true, "cold_part");
  ASSERT_NE(cold, 0u);
  EXPECT_EQ(LocationInfo(*table, cold + 2).unit, "cold_part_unit.c");
  EXPECT_EQ(LocationInfo(*table, cold + 2).line, 509);
}

// The stripped map library with its own map, and the stripped DWARF library with its packed
// symbols, under other names.
TEST(SymbolSourcesTest, FilesBesideTheModule) {
  TempFolder folder;
  const auto packed_symbols = ReadDebugSymbols(SYMTEST_DWARF, SYMTEST_DWARF, "/nowhere");
  ASSERT_TRUE(packed_symbols);
  const std::string map_of_library =
      std::string(SYMTEST_MAP).substr(0, std::string(SYMTEST_MAP).rfind('.')) + ".map";
  struct Case {
    const char* module;
    const char* beside;  // named like the module up to the last "." of its file name
    bool packed;         // a packed file beside the DWARF library; else the map library's map
  };
  for (const Case& test :
       {Case{"liba.so", "liba.map", false}, Case{"libb.so.1", "libb.so.map", false},
        Case{"libc.so", "libc.Vostrel", true}, Case{"noextension", "noextension.Vostrel", true}}) {
    const std::string module = folder / test.module;
    const std::string beside = folder / test.beside;
    if (test.packed) {
      Copy(SYMTEST_DWARF, module);
      RunTool({STRIP_PATH, "--strip-all", module});
      test_support::WriteFile(beside, PackSymbols(*packed_symbols));
    } else {
      Copy(SYMTEST_MAP, module);
      Copy(map_of_library, beside);
    }
    const auto table = TableOfFile(module);
    ASSERT_TRUE(table->Valid()) << test.module;
    const uintptr_t first = FindPublicByName(*table, true, kUnit, true, "symtest_first");
    EXPECT_NE(first, 0u) << test.module;
    EXPECT_EQ(LocationInfo(*table, first).line > 0, test.packed) << test.module;
    std::filesystem::remove(beside);
    EXPECT_FALSE(TableOfFile(module)->Valid()) << test.module;
  }
}

TEST(SymbolSourcesTest, APackedFileOfAnotherBuildIsNotUsed) {
  TempFolder folder;
  Copy(SYMTEST_DWARF, folder / "libother.so");
  RunTool({STRIP_PATH, "--strip-all", folder / "libother.so"});
  const auto other_build = ReadDebugSymbols(SYMTEST_REBUILT, SYMTEST_REBUILT, "/nowhere");
  ASSERT_TRUE(other_build);
  test_support::WriteFile(folder / "libother.Vostrel", PackSymbols(*other_build));
  EXPECT_FALSE(TableOfFile(folder / "libother.so")->Valid());
}

// Whatever a damaged module file holds, building its table ends without a fault (the
// sanitizer build checks every read) and names no function wrongly as the first one.
TEST(SymbolSourcesTest, DamagedModuleFilesAreReadSafely) {
  TempFolder folder;
  const std::string original = test_support::ReadFile(SYMTEST_DWARF);
  const std::string damaged_path = folder / "libdamaged.so";
  for (size_t length = 0; length < original.size(); length += original.size() / 23 + 1) {
    test_support::WriteFile(damaged_path, original.substr(0, length));
    EXPECT_FALSE(TableOfFile(damaged_path)->Valid()) << "cut at " << length;
  }
  for (size_t at = 0; at < original.size(); at += 61) {
    std::string damaged = original;
    damaged[at] = static_cast<char>(~damaged[at]);
    test_support::WriteFile(damaged_path, damaged);
    const auto table = TableOfFile(damaged_path);
    if (table->Valid()) FindPublic(*table, FindPublicByName(*table, true, kUnit, true, "x"));
  }
}

}  // namespace
}  // namespace userdb::crash
