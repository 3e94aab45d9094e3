#include "crash/stack/map_file_lookup.h"

#include <gtest/gtest.h>

#include "tests/crash/stack/allocation_counter.h"

namespace userdb::crash {
namespace {

using detail::SymbolData;

// Code from 0x1000 to 0x2000: alpha.cpp and beta.cpp with lines, gamma.cpp without; data
// from 0x3000.
ModuleInfo Module(uintptr_t bias = 0) {
  ModuleInfo module;
  module.path = "/opt/lib/libsample.so";
  module.file_name = "libsample.so";
  module.handle = 0x1000 + bias;
  module.bias = bias;
  module.code = {0x1000 + bias, 0x2000 + bias};
  module.data = {0x3000 + bias, 0x3100 + bias};
  return module;
}

SymbolData Sample() {
  SymbolData symbols;
  symbols.segments = {{0x1000, 0x100, "alpha.cpp", true, true},
                      {0x1100, 0x100, "beta.cpp", true, true},
                      {0x1200, 0x100, "gamma.cpp", true, false},
                      {0x3000, 0x40, "alpha.cpp", false, false}};
  symbols.publics = {{0x1010, "Alpha.Start", true},
                     {0x1080, "Alpha.Middle", true},
                     {0x1100, "Beta.Run", true},
                     {0x1200, "Gamma.Tail", true},
                     {0x3000, "alpha_table", false}};
  symbols.lines = {{0x1010, 10}, {0x1020, 11}, {0x1080, 20},
                   {0x10f0, 25}, {0x1110, 40}, {0x1180, 41}};
  symbols.minimal_debug = "sample";
  return symbols;
}

// The sample without its data public: its last public is code.
SymbolData CodeOnly() {
  SymbolData symbols = Sample();
  symbols.publics.pop_back();
  return symbols;
}

class MapFileLookupTest : public ::testing::Test {
 protected:
  std::shared_ptr<const TMapFile> table_ = TMapFile::Build(Module(), Sample());
};

TEST_F(MapFileLookupTest, TableKeepsModuleAndSource) {
  EXPECT_TRUE(table_->Valid());
  EXPECT_EQ(table_->FileName(), "/opt/lib/libsample.so");
  EXPECT_EQ(table_->ModuleFileName(), "libsample.so");
  EXPECT_EQ(table_->MinimalDebug(), "sample");
}

TEST_F(MapFileLookupTest, FindSegmentIncludesStartAndExcludesEnd) {
  struct Case {
    bool code;
    uintptr_t address;
    const char* unit;  // nullptr: none
  };
  for (const Case& test :
       {Case{true, 0x1000, "alpha.cpp"}, Case{true, 0x10ff, "alpha.cpp"},
        Case{true, 0x1100, "beta.cpp"}, Case{true, 0x12ff, "gamma.cpp"},
        Case{true, 0x1300, nullptr}, Case{true, 0x0fff, nullptr}, Case{false, 0x1000, nullptr},
        Case{false, 0x3000, "alpha.cpp"}, Case{false, 0x3040, nullptr}}) {
    const TMfSegment segment = FindSegment(*table_, test.code, test.address);
    EXPECT_EQ(segment.valid, test.unit != nullptr) << std::hex << test.address;
    if (test.unit != nullptr) {
      EXPECT_EQ(segment.unit, test.unit) << std::hex << test.address;
    }
  }
}

TEST_F(MapFileLookupTest, FindSegmentFindsAnOuterSegmentAroundAnInnerOne) {
  SymbolData symbols;
  symbols.segments = {{0x1000, 0x400, "outer.cpp", true, false},
                      {0x1100, 0x10, "inner.h", true, false}};
  const auto table = TMapFile::Build(Module(), symbols);
  EXPECT_EQ(FindSegment(*table, true, 0x1108).unit, "inner.h");
  EXPECT_EQ(FindSegment(*table, true, 0x1200).unit, "outer.cpp");
}

TEST_F(MapFileLookupTest, FindPublicTakesTheGreatestAtOrBelow) {
  struct Case {
    uintptr_t address;
    const char* name;
  };
  for (const Case& test :
       {Case{0x0fff, nullptr}, Case{0x100f, nullptr}, Case{0x1010, "Alpha.Start"},
        Case{0x107f, "Alpha.Start"}, Case{0x1080, "Alpha.Middle"}, Case{0x2500, "Gamma.Tail"},
        Case{0x3000, nullptr}}) {
    const TMfPublic found = FindPublic(*table_, test.address);
    EXPECT_EQ(found.valid, test.name != nullptr) << std::hex << test.address;
    if (test.name != nullptr) {
      EXPECT_EQ(found.name, test.name) << std::hex << test.address;
    }
  }
}

TEST_F(MapFileLookupTest, LastPublicReachesTheEndOfTheCodeRangeOnly) {
  const auto table = TMapFile::Build(Module(), CodeOnly());
  EXPECT_EQ(FindPublic(*table, 0x1fff).name, "Gamma.Tail");
  EXPECT_FALSE(FindPublic(*table, 0x2000).valid);
  EXPECT_FALSE(FindPublic(*table, 0x2100).valid);

  ModuleInfo without_code_range = Module();
  without_code_range.code = {};
  const auto unbounded = TMapFile::Build(without_code_range, CodeOnly());
  EXPECT_EQ(FindPublic(*unbounded, 0x9000).name, "Gamma.Tail");
}

TEST_F(MapFileLookupTest, FindLineCountsEntriesOfTheAddressesSegmentOnly) {
  struct Case {
    uintptr_t address;
    int line;
    uintptr_t next;
  };
  for (const Case& test :
       {Case{0x1015, 10, 0x1020}, Case{0x1080, 20, 0x10f0}, Case{0x10f5, 25, 0x1110},
        // The entry at or below lies in alpha.cpp's segment, not beta's.
        Case{0x1105, 0, 0x1106}, Case{0x1110, 40, 0x1180},
        // The last entry, no next one.
        Case{0x1190, 41, 0x1191},
        // gamma.cpp has no lines: beta's last entry is not its.
        Case{0x1250, 0, 0x1251}, Case{0x100f, 0, 0x1010}, Case{0x2000, 0, 0x2001}}) {
    const LineLookup found = FindLine(*table_, test.address);
    EXPECT_EQ(found.line, test.line) << std::hex << test.address;
    EXPECT_EQ(found.next_line_address, test.next) << std::hex << test.address;
  }
}

TEST_F(MapFileLookupTest, FindLineWithoutAnyEntryTellsASegmentMarkedWithLines) {
  SymbolData symbols = Sample();
  symbols.lines.clear();
  const auto table = TMapFile::Build(Module(), symbols);
  EXPECT_EQ(FindLine(*table, 0x1010).line, -1);
  EXPECT_EQ(FindLine(*table, 0x1250).line, 0);
  EXPECT_EQ(FindLine(*table, 0x1400).line, 0);
}

TEST_F(MapFileLookupTest, FindPublicByName) {
  struct Case {
    bool code;
    const char* unit;
    bool case_sensitive;
    const char* name;
    uintptr_t address;
  };
  for (const Case& test : {
           Case{true, "alpha.cpp", true, "Alpha.Middle", 0x1080},
           Case{true, "ALPHA.CPP", true, "Alpha.Middle", 0x1080},
           Case{true, "alpha.cpp", false, "alpha.middle", 0x1080},
           Case{true, "alpha.cpp", true, "alpha.middle", 0},
           // A segment's range includes its end: beta's first public lies at alpha's end.
           Case{true, "alpha.cpp", true, "Beta.Run", 0x1100},
           Case{true, "alpha.cpp", true, "Gamma.Tail", 0},
           // A unit without "." is tried with ".cpp", ".h" and ".c".
           Case{true, "beta", true, "Beta.Run", 0x1100},
           Case{true, "beta.c", true, "Beta.Run", 0},
           Case{false, "alpha.cpp", true, "alpha_table", 0x3000},
           Case{true, "alpha.cpp", true, "alpha_table", 0},
       }) {
    EXPECT_EQ(FindPublicByName(*table_, test.code, test.unit, test.case_sensitive, test.name),
              test.address)
        << test.unit << " " << test.name;
  }
}

TEST_F(MapFileLookupTest, FindPublicByNameTriesHeaderAndCUnits) {
  SymbolData symbols;
  symbols.segments = {{0x1000, 0x100, "delta.h", true, false},
                      {0x1100, 0x100, "omega.c", true, false}};
  symbols.publics = {{0x1000, "Delta", true}, {0x1100, "Omega", true}};
  const auto table = TMapFile::Build(Module(), symbols);
  EXPECT_EQ(FindPublicByName(*table, true, "delta", true, "Delta"), 0x1000u);
  EXPECT_EQ(FindPublicByName(*table, true, "Omega", true, "Omega"), 0x1100u);
}

TEST_F(MapFileLookupTest, LocationInfo) {
  const TableLocation location = LocationInfo(*table_, 0x1085);
  EXPECT_TRUE(location.found);
  EXPECT_EQ(location.module_file_name, "/opt/lib/libsample.so");
  EXPECT_EQ(location.unit, "alpha.cpp");
  EXPECT_EQ(location.line, 20);
  EXPECT_EQ(location.public_address, 0x1080u);
  EXPECT_EQ(location.public_name, "Alpha.Middle");

  const TableLocation without_line = LocationInfo(*table_, 0x1105);
  EXPECT_EQ(without_line.unit, "beta.cpp");
  EXPECT_EQ(without_line.line, 0);
  EXPECT_EQ(without_line.public_name, "Beta.Run");
}

TEST_F(MapFileLookupTest, InvalidTableFindsNothing) {
  const auto invalid = TMapFile::Invalid(Module());
  EXPECT_FALSE(invalid->Valid());
  EXPECT_FALSE(LocationInfo(*invalid, 0x1085).found);
  EXPECT_FALSE(FindPublic(*invalid, 0x1085).valid);
  EXPECT_FALSE(FindSegment(*invalid, true, 0x1085).valid);
  EXPECT_EQ(FindLine(*invalid, 0x1085).line, 0);
  EXPECT_EQ(QualifiedProcName(*invalid, 0x1080), "");
  // Publics or segments make a table valid; line entries alone do not.
  SymbolData lines_only;
  lines_only.lines = {{0x1010, 3}};
  EXPECT_FALSE(TMapFile::Build(Module(), lines_only)->Valid());
}

TEST_F(MapFileLookupTest, QualifiedProcNameAtAFunctionsFirstByteOnly) {
  EXPECT_EQ(QualifiedProcName(*table_, 0x1080), "alpha.cpp.Alpha.Middle");
  EXPECT_EQ(QualifiedProcName(*table_, 0x1081), "");
  EXPECT_EQ(QualifiedProcName(*table_, 0x107f), "");
  // The last public lies beyond the end of the code range: FindPublic does not reach it.
  EXPECT_EQ(QualifiedProcName(*table_, 0x3000), "");
}

TEST_F(MapFileLookupTest, QualifiedProcNameWithPercentNamesTheModule) {
  SymbolData symbols = Sample();
  symbols.publics.push_back({0x1040, "Set%Size", true});
  const auto table = TMapFile::Build(Module(), symbols);
  EXPECT_EQ(QualifiedProcName(*table, 0x1040), "alpha.cpp.Set%Size (libsample.so)");
}

TEST_F(MapFileLookupTest, QualifiedProcNameOfAPublicInNoCodeSegmentIsItsNameAlone) {
  SymbolData symbols = CodeOnly();
  symbols.publics.push_back({0x1400, "Loose", true});
  EXPECT_EQ(QualifiedProcName(*TMapFile::Build(Module(), symbols), 0x1400), "Loose");
}

TEST_F(MapFileLookupTest, CachedLineLookupKeepsAKnownLineWithinItsRange) {
  int line = 0;
  uintptr_t low = 0, high = 0;
  CachedLineLookup(*table_, 0x1015, line, low, high);
  EXPECT_EQ(line, 10);
  EXPECT_EQ(low, 0x1015u);
  EXPECT_EQ(high, 0x1020u);

  CachedLineLookup(*table_, 0x101f, line, low, high);
  EXPECT_EQ(low, 0x1015u) << "kept";

  CachedLineLookup(*table_, 0x1020, line, low, high);
  EXPECT_EQ(line, 11);
  EXPECT_EQ(low, 0x1020u);
  EXPECT_EQ(high, 0x1080u);

  CachedLineLookup(*table_, 0, line, low, high);
  EXPECT_EQ(line, 11);
  EXPECT_EQ(low, 0x1020u);

  // A line found as -1 counts as 0, and is looked up again every time.
  SymbolData symbols = Sample();
  symbols.lines.clear();
  const auto without_lines = TMapFile::Build(Module(), symbols);
  line = 0;
  CachedLineLookup(*without_lines, 0x1010, line, low, high);
  EXPECT_EQ(line, 0);
  EXPECT_EQ(low, 0x1010u);
  EXPECT_EQ(high, 0x1011u);
}

TEST_F(MapFileLookupTest, AddressesMoveWithTheModulesBias) {
  constexpr uintptr_t kBias = 0x7f0000000000;
  SymbolData symbols = Sample();
  symbols.publics.push_back({UINTPTR_MAX - 0x10, "Beyond", true});
  const auto table = TMapFile::Build(Module(kBias), symbols);
  EXPECT_EQ(FindPublic(*table, kBias + 0x1015).name, "Alpha.Start");
  EXPECT_EQ(FindSegment(*table, true, kBias + 0x1100).unit, "beta.cpp");
  EXPECT_EQ(FindLine(*table, kBias + 0x1015).line, 10);
  EXPECT_EQ(table->Publics().size(), Sample().publics.size()) << "the public beyond is left out";
}

TEST_F(MapFileLookupTest, OneNameAnAddressAndTheLastLineOfAnAddress) {
  SymbolData symbols = Sample();
  symbols.publics.push_back({0x1080, "Alpha.Alias", true});
  symbols.lines.push_back({0x1080, 99});
  const auto table = TMapFile::Build(Module(), symbols);
  EXPECT_EQ(FindPublic(*table, 0x1080).name, "Alpha.Middle");
  EXPECT_EQ(FindLine(*table, 0x1080).line, 99);
}

TEST_F(MapFileLookupTest, LookUpsAllocateNothing) {
  const size_t before = test::AllocationsOfThread();
  int line_sum = 0;
  for (uintptr_t address = 0xff0; address < 0x3100; address += 7) {
    const TableLocation location = LocationInfo(*table_, address);
    line_sum += location.line + FindLine(*table_, address).line;
    line_sum += FindPublic(*table_, address).valid ? 1 : 0;
    line_sum += FindSegment(*table_, false, address).valid ? 1 : 0;
  }
  line_sum += static_cast<int>(FindPublicByName(*table_, true, "beta", false, "beta.run"));
  EXPECT_EQ(test::AllocationsOfThread(), before);
  EXPECT_GT(line_sum, 0);
}

}  // namespace
}  // namespace userdb::crash
