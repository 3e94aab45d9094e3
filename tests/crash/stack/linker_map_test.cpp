#include "crash/stack/linker_map.h"

#include <algorithm>

#include <gtest/gtest.h>

#include "tests/support/temp_folder.h"

namespace userdb::crash::detail {
namespace {

// The parts of a GNU linker map that matter, as ld 2.40 writes them.
constexpr std::string_view kMap =
    "\n"
    "Discarded input sections\n"
    "\n"
    " .text          0x0000000000000000       0x10 /tmp/dropped.o\n"
    "                0x0000000000000000                dropped_function\n"
    "\n"
    "Linker script and memory map\n"
    "\n"
    "LOAD /usr/lib/x86_64-linux-gnu/crti.o\n"
    "                0x0000000000001000                . = ALIGN (CONSTANT (MAXPAGESIZE))\n"
    "\n"
    ".init           0x0000000000001000       0x17\n"
    " *(SORT_NONE(.init))\n"
    " .init          0x0000000000001000       0x12 /usr/lib/x86_64-linux-gnu/crti.o\n"
    "                0x0000000000001000                _init\n"
    "\n"
    ".text           0x0000000000001060      0x134\n"
    " *(.text .stub .text.* .gnu.linkonce.t.*)\n"
    " .text          0x0000000000001060        0x0 /usr/lib/x86_64-linux-gnu/crti.o\n"
    " *fill*         0x0000000000001119        0x1 \n"
    " .text          0x000000000000111a       0x5b CMakeFiles/sample.dir/widget.cpp.o\n"
    "                0x000000000000111a                ns::Widget::Compute(int)\n"
    "                0x0000000000001130                alpha\r\n"
    " .text._Z5twiceIiET_S0_\n"
    "                0x0000000000001175        0xe CMakeFiles/sample.dir/widget.cpp.o\n"
    "                0x0000000000001175                int twice<int>(int)\n"
    " .text          0x0000000000001190       0x20 /usr/lib/libhelpers.a(strings.o)\n"
    "                0x0000000000001190                _ZN7helpers4TrimEv\n"
    "\n"
    ".data           0x0000000000004010       0x18\n"
    " .data          0x0000000000004018        0x4 CMakeFiles/sample.dir/widget.cpp.o\n"
    "                0x0000000000004018                counter\n"
    "                [!provide]                        PROVIDE (edata = .)\n"
    "                0x0000000000004028                . = .\n"
    " .eh_frame      0x0000000000005000       0x40 CMakeFiles/sample.dir/widget.cpp.o\n"
    "                0x0000000000005000                not_a_symbol_of_code_or_data\n";

TEST(LinkerMapTest, InputSectionsGiveSegmentsAndSymbolLinesPublics) {
  const auto symbols = ParseLinkerMap(kMap);
  ASSERT_TRUE(symbols);
  struct Segment {
    uint64_t start, length;
    const char* unit;
    bool code;
  };
  const Segment expected_segments[] = {{0x1000, 0x12, "crti", true},
                                       {0x111a, 0x5b, "widget.cpp", true},
                                       {0x1175, 0xe, "widget.cpp", true},
                                       {0x1190, 0x20, "strings", true},
                                       {0x4018, 0x4, "widget.cpp", false}};
  ASSERT_EQ(symbols->segments.size(), std::size(expected_segments));
  for (size_t i = 0; i < std::size(expected_segments); ++i) {
    EXPECT_EQ(symbols->segments[i].start, expected_segments[i].start);
    EXPECT_EQ(symbols->segments[i].length, expected_segments[i].length);
    EXPECT_EQ(symbols->segments[i].unit, expected_segments[i].unit);
    EXPECT_EQ(symbols->segments[i].code, expected_segments[i].code);
    EXPECT_FALSE(symbols->segments[i].has_lines);
  }
  struct Public {
    uint64_t address;
    const char* name;
    bool code;
  };
  const Public expected_publics[] = {
      {0x1000, "_init", true},        {0x111a, "ns.Widget.Compute", true},
      {0x1130, "alpha", true},        {0x1175, "twice<int>", true},
      {0x1190, "helpers.Trim", true}, {0x4018, "counter", false}};
  ASSERT_EQ(symbols->publics.size(), std::size(expected_publics));
  for (size_t i = 0; i < std::size(expected_publics); ++i) {
    EXPECT_EQ(symbols->publics[i].address, expected_publics[i].address);
    EXPECT_EQ(symbols->publics[i].name, expected_publics[i].name);
    EXPECT_EQ(symbols->publics[i].code, expected_publics[i].code);
  }
  EXPECT_TRUE(symbols->lines.empty());
}

TEST(LinkerMapTest, TextWithoutTheMemoryMapIsNoMap) {
  EXPECT_FALSE(ParseLinkerMap(""));
  EXPECT_FALSE(ParseLinkerMap("Discarded input sections\n .text 0x10 0x10 a.o\n"));
  const auto empty = ParseLinkerMap("Linker script and memory map\n");
  ASSERT_TRUE(empty);
  EXPECT_FALSE(empty->HasSymbols());
}

TEST(LinkerMapTest, DamagedLinesAreSkipped) {
  const auto symbols = ParseLinkerMap(
      "Linker script and memory map\n"
      " .text          0x00000000000011zz       0x5b a.o\n"
      "                0x0000000000001100                lost\n"
      " .text          0x0000000000001200 0x99999999999999999999 a.o\n"
      " .text          0x0000000000001300       0x10 b.o\n"
      "                0x                                empty_number\n"
      "                0x0000000000001300\n"
      "                0x0000000000001304                kept\n"
      " .text.wrapped_at_the_end\n");
  ASSERT_TRUE(symbols);
  ASSERT_EQ(symbols->segments.size(), 1u);
  EXPECT_EQ(symbols->segments[0].unit, "b");
  ASSERT_EQ(symbols->publics.size(), 1u);
  EXPECT_EQ(symbols->publics[0].name, "kept");
}

// The map that the linker wrote for the test library.
TEST(LinkerMapTest, ReadsTheMapOfTheTestLibrary) {
  const std::string map_path =
      std::string(SYMTEST_MAP).substr(0, std::string(SYMTEST_MAP).rfind('.')) + ".map";
  const auto symbols = ParseLinkerMap(test_support::ReadFile(map_path));
  ASSERT_TRUE(symbols);
  const auto named = [&](std::string_view name) {
    return std::find_if(symbols->publics.begin(), symbols->publics.end(),
                        [&](const PublicData& entry) { return entry.name == name; });
  };
  for (const char* name : {"symtest_first", "symtest_second", "symtest.Gadget.Turn"}) {
    const auto found = named(name);
    ASSERT_NE(found, symbols->publics.end()) << name;
    const auto segment = std::find_if(symbols->segments.begin(), symbols->segments.end(),
                                      [&](const SegmentData& candidate) {
                                        return candidate.start <= found->address &&
                                               found->address < candidate.start + candidate.length;
                                      });
    ASSERT_NE(segment, symbols->segments.end()) << name;
    EXPECT_EQ(segment->unit, "symbol_test_library.cpp") << name;
  }
}

}  // namespace
}  // namespace userdb::crash::detail
