// The programs as they are installed, stripped of debug information and symbols, still name
// their own functions, units and lines from their packed symbol section.
#include <filesystem>

#include <gtest/gtest.h>

#include "crash/stack/map_file_lookup.h"
#include "crash/stack/packed_symbols.h"
#include "crash/stack/symbol_sources.h"
#include "platform/module_section.h"
#include "tests/crash/stack/symbol_test_support.h"
#include "tests/support/run_program.h"
#include "tests/support/temp_folder.h"

namespace userdb::crash {
namespace {

using test::LineOf;
using test_support::RunProgram;
using test_support::TempFolder;

void ExpectStrippedWithSymbolSection(const std::string& program) {
  EXPECT_FALSE(platform::ReadElfSection(program, ".debug_info")) << program;
  EXPECT_FALSE(platform::ReadElfSection(program, ".debug_line")) << program;
  EXPECT_TRUE(platform::ReadElfSection(program, kSymbolSectionName)) << program;
}

// The line of the function named `name` in unit `unit`, as the program's table names it.
int LineOfFunction(const TMapFile& table, const char* unit, const char* name) {
  const uintptr_t address = FindPublicByName(table, true, unit, true, name);
  if (address == 0) return -1;
  return LocationInfo(table, address).line;
}

// The entry of a function lies on the line of its head or on one of the next two (where the
// head spans lines, or the optimizer starts with the first statement), just as the DWARF of
// the program as built says.
void ExpectFunctionLine(const TMapFile& installed, const TMapFile& built, const char* unit,
                        const char* name, const char* source, const char* head) {
  const int line = LineOfFunction(installed, unit, name);
  EXPECT_EQ(line, LineOfFunction(built, unit, name)) << name;
  EXPECT_GE(line, LineOf(source, head)) << name;
  EXPECT_LE(line, LineOf(source, head) + 2) << name;
}

TEST(InstalledProgramTest, InstalledProgramsAreStrippedAndNameTheirOwnCode) {
  TempFolder prefix;
  const auto install = RunProgram(
      {CMAKE_COMMAND_PATH, "--install", PROJECT_BUILD_DIR, "--prefix", prefix.Path(), "--strip"});
  ASSERT_EQ(install.exit_code, 0) << install.err;

  const std::string program = prefix / "bin/userdb2csv";
  ExpectStrippedWithSymbolSection(program);
  EXPECT_FALSE(platform::ReadElfSection(program, ".symtab"));
  const auto version = RunProgram({program, "--version"});
  EXPECT_EQ(version.exit_code, 0);
  EXPECT_EQ(version.out, "1.0.1.16\n");

  const auto table = BuildSymbolTable(*ModuleInfoOfFile(program));
  ASSERT_TRUE(table->Valid());
  EXPECT_TRUE(std::string(table->MinimalDebug()).starts_with("packed DWARF, build id "));
  SymbolSourceOptions dwarf_only;
  dwarf_only.program_section = false;
  const auto built = BuildSymbolTable(*ModuleInfoOfFile(USERDB2CSV_PATH), dwarf_only);
  ExpectFunctionLine(*table, *built, "main.cpp", "main", USERDB2CSV_MAIN_SOURCE, "int main(");
  ExpectFunctionLine(*table, *built, "conversion_run", "userdb.conversion.ConversionRun",
                     CONVERSION_RUN_SOURCE, "void ConversionRun(");

  if (BUILD_GUI_PROGRAM) {
    ExpectStrippedWithSymbolSection(prefix / "bin/userdb-transform");
    const std::string entry =
        test_support::ReadFile(prefix / "share/applications/userdb-transform.desktop");
    EXPECT_NE(entry.find("\nExec=userdb-transform"), std::string::npos);
    EXPECT_NE(entry.find("\nIcon=userdb-transform\n"), std::string::npos);
    EXPECT_TRUE(std::filesystem::is_regular_file(
        prefix / "share/icons/hicolor/scalable/apps/userdb-transform.svg"));
  }
}

TEST(InstalledProgramTest, SymbolSectionSurvivesStrippingOfDebugInformation) {
  TempFolder folder;
  const std::string program = folder / "userdb2csv";
  std::filesystem::copy_file(USERDB2CSV_PATH, program);
  ASSERT_EQ(RunProgram({STRIP_PATH, "--strip-debug", program}).exit_code, 0);
  ExpectStrippedWithSymbolSection(program);
  EXPECT_EQ(platform::ReadElfSection(program, kSymbolSectionName),
            platform::ReadElfSection(USERDB2CSV_PATH, kSymbolSectionName));
}

// The probe, stripped of all but its packed section, names its own code while it runs, loaded
// at an address of the system's choosing.
TEST(InstalledProgramTest, AStrippedProgramNamesItsOwnFunctionsAndLines) {
  ExpectStrippedWithSymbolSection(SYMBOL_PROBE);
  EXPECT_FALSE(platform::ReadElfSection(SYMBOL_PROBE, ".symtab"));
  const auto run = RunProgram({SYMBOL_PROBE});
  EXPECT_EQ(run.exit_code, 0);
  const std::string expected =
      "1|symbol_probe.cpp|" + std::to_string(LineOf(SYMBOL_PROBE_SOURCE, "probe: Twice")) +
      "|probe.Twice\n1|symbol_probe.cpp|" +
      std::to_string(LineOf(SYMBOL_PROBE_SOURCE, "probe: main asks")) + "|main\n";
  EXPECT_TRUE(run.out.starts_with(expected)) << run.out;
  EXPECT_NE(run.out.find("\npacked DWARF, build id "), std::string::npos) << run.out;
}

}  // namespace
}  // namespace userdb::crash
