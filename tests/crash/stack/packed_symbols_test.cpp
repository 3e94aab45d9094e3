#include "crash/stack/packed_symbols.h"

#include <cstring>
#include <vector>

#include <gtest/gtest.h>

namespace userdb::crash {
namespace {

using detail::SymbolData;

SymbolData Sample() {
  SymbolData symbols;
  symbols.build_id = std::string("\x4d\x55\x8f\xe8\x00\x01", 6);
  symbols.minimal_debug = "packed DWARF, build id 4d558fe80001";
  symbols.segments = {{0x1000, 0x80, "main.cpp", true, true},
                      {0x1080, 0x20, "string_view", true, true},
                      {0x10a0, 0x60, "main.cpp", true, true},
                      {0x4000, 0x10, "tables.cpp", false, false}};
  symbols.publics = {{0x1000, "main", true},
                     {0x1040,
                      "(anonymous namespace).Stra\xDF"
                      "e",
                      true},
                     {0x10a0, "Box<...>.open", true},
                     {0x4000, "kTable", false}};
  symbols.lines = {{0x1000, 12}, {0x1008, 13}, {0x1010, 4000},
                   {0x1080, 61}, {0x10a0, 1},  {0x10a4, 0}};
  return symbols;
}

void ExpectSameSymbols(const SymbolData& actual, const SymbolData& expected) {
  EXPECT_EQ(actual.build_id, expected.build_id);
  EXPECT_EQ(actual.minimal_debug, expected.minimal_debug);
  ASSERT_EQ(actual.segments.size(), expected.segments.size());
  for (size_t i = 0; i < expected.segments.size(); ++i) {
    EXPECT_EQ(actual.segments[i].start, expected.segments[i].start);
    EXPECT_EQ(actual.segments[i].length, expected.segments[i].length);
    EXPECT_EQ(actual.segments[i].unit, expected.segments[i].unit);
    EXPECT_EQ(actual.segments[i].code, expected.segments[i].code);
    EXPECT_EQ(actual.segments[i].has_lines, expected.segments[i].has_lines);
  }
  ASSERT_EQ(actual.publics.size(), expected.publics.size());
  for (size_t i = 0; i < expected.publics.size(); ++i) {
    EXPECT_EQ(actual.publics[i].address, expected.publics[i].address);
    EXPECT_EQ(actual.publics[i].name, expected.publics[i].name);
    EXPECT_EQ(actual.publics[i].code, expected.publics[i].code);
  }
  ASSERT_EQ(actual.lines.size(), expected.lines.size());
  for (size_t i = 0; i < expected.lines.size(); ++i) {
    EXPECT_EQ(actual.lines[i].address, expected.lines[i].address);
    EXPECT_EQ(actual.lines[i].line, expected.lines[i].line);
  }
}

TEST(PackedSymbolsTest, UnpacksWhatWasPacked) {
  const auto unpacked = UnpackSymbols(PackSymbols(Sample()));
  ASSERT_TRUE(unpacked);
  ExpectSameSymbols(*unpacked, Sample());
}

TEST(PackedSymbolsTest, PacksInAscendingAddressOrder) {
  SymbolData shuffled = Sample();
  std::swap(shuffled.segments[0], shuffled.segments[3]);
  std::swap(shuffled.publics[1], shuffled.publics[2]);
  std::swap(shuffled.lines[0], shuffled.lines[5]);
  const auto unpacked = UnpackSymbols(PackSymbols(shuffled));
  ASSERT_TRUE(unpacked);
  ExpectSameSymbols(*unpacked, Sample());
}

TEST(PackedSymbolsTest, StoresEncipheredAndAlwaysTheSame) {
  const std::string packed = PackSymbols(Sample());
  EXPECT_EQ(packed.substr(0, 4), "VSYM");
  EXPECT_EQ(packed, PackSymbols(Sample()));
  EXPECT_EQ(packed.find("main"), std::string::npos);
  EXPECT_EQ(packed.find("tables"), std::string::npos);
}

TEST(PackedSymbolsTest, EveryTruncationAndAnAppendedByteAreRejected) {
  const std::string packed = PackSymbols(Sample());
  for (size_t length = 0; length < packed.size(); ++length) {
    EXPECT_FALSE(UnpackSymbols(std::string_view(packed).substr(0, length))) << length;
  }
  EXPECT_FALSE(UnpackSymbols(packed + '\0'));
}

TEST(PackedSymbolsTest, EveryChangedByteIsRejected) {
  const std::string packed = PackSymbols(Sample());
  for (size_t at = 0; at < packed.size(); ++at) {
    for (const uint8_t flip : {0x01, 0x80}) {
      std::string damaged = packed;
      damaged[at] = static_cast<char>(static_cast<uint8_t>(damaged[at]) ^ flip);
      EXPECT_FALSE(UnpackSymbols(damaged)) << "byte " << at << " flip " << int{flip};
    }
  }
}

// An inflated body written number by number, to seal bodies that no packer writes.
class Body {
 public:
  Body& Number(uint64_t value) {
    do {
      const auto low = static_cast<uint8_t>(value & 0x7F);
      value >>= 7;
      bytes_ += static_cast<char>(value != 0 ? low | 0x80 : low);
    } while (value != 0);
    return *this;
  }
  Body& Raw(std::string_view bytes) {
    bytes_.append(bytes);
    return *this;
  }
  Body& Text(std::string_view text) { return Number(text.size()).Raw(text); }
  std::string Sealed() const { return detail::SealPackedBody(bytes_); }

 private:
  std::string bytes_;
};

// Build id, text, one unit, then `rest`.
Body Start() {
  return Body().Text("").Text("m").Number(1).Text("u.cpp");
}

TEST(PackedSymbolsTest, ASealedWellFormedBodyIsRead) {
  // One segment, one public, two lines.
  const std::string sealed = Start()
                                 .Number(1)
                                 .Number(0x1000)
                                 .Number(0x10)
                                 .Number(0)
                                 .Raw("\x03")
                                 .Number(1)
                                 .Number(0x1000)
                                 .Raw("\x01")
                                 .Text("f")
                                 .Number(2)
                                 .Number(0x1000)
                                 .Number(10)
                                 .Number(4)
                                 .Number(3)
                                 .Sealed();
  const auto symbols = UnpackSymbols(sealed);
  ASSERT_TRUE(symbols);
  EXPECT_EQ(symbols->segments.at(0).unit, "u.cpp");
  EXPECT_TRUE(symbols->segments.at(0).has_lines);
  EXPECT_EQ(symbols->publics.at(0).name, "f");
  EXPECT_EQ(symbols->lines.at(1).address, 0x1004u);
  EXPECT_EQ(symbols->lines.at(1).line, 3u);  // 5 minus 2
}

TEST(PackedSymbolsTest, HostileBodiesAreRejected) {
  const std::string bodies[] = {
      // A count far beyond the bytes that follow.
      Body().Text("").Text("m").Number(uint64_t{1} << 60).Sealed(),
      // A text longer than the body.
      Body().Text("").Number(1000).Raw("short").Sealed(),
      // A unit index beyond the units.
      Start()
          .Number(1)
          .Number(0x1000)
          .Number(0x10)
          .Number(1)
          .Raw("\x01")
          .Number(0)
          .Number(0)
          .Sealed(),
      // Segment starts that add up beyond 64 bits.
      Start()
          .Number(2)
          .Number(UINT64_MAX)
          .Number(1)
          .Number(0)
          .Raw("\x01")
          .Number(2)
          .Number(1)
          .Number(0)
          .Raw("\x01")
          .Number(0)
          .Number(0)
          .Sealed(),
      // A line number below 0.
      Start().Number(0).Number(0).Number(1).Number(0x1000).Number(1).Sealed(),
      // A number of more than 64 bits.
      Start().Number(0).Number(0).Raw("\xff\xff\xff\xff\xff\xff\xff\xff\xff\x7f").Sealed(),
      // A byte after the line entries.
      Start().Number(0).Number(0).Number(0).Raw("x").Sealed(),
      // The body ends within the publics.
      Start().Number(0).Number(2).Number(0x1000).Raw("\x01").Text("f").Sealed(),
      // An empty body.
      Body().Sealed(),
  };
  for (const std::string& sealed : bodies) EXPECT_FALSE(UnpackSymbols(sealed));
}

TEST(PackedSymbolsTest, AnInflatedSizeAboveTheLimitIsRejectedUnread) {
  std::string packed = PackSymbols(Sample());
  const uint32_t too_large = kMaxInflatedSize + 1;
  std::memcpy(&packed[20], &too_large, 4);
  EXPECT_FALSE(UnpackSymbols(packed));
}

}  // namespace
}  // namespace userdb::crash
