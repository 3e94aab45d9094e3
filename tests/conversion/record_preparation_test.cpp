// Cleaning, splitting, presence, region look-up and joining of user-database lines.
#include "conversion/record_preparation.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "conversion/region_table.h"

namespace userdb::conversion {

namespace {

std::vector<std::string> Fields(const StringList& list) {
  std::vector<std::string> fields;
  for (int i = 0; i < list.Count(); ++i) fields.emplace_back(list.Get(i));
  return fields;
}

std::vector<std::string> Split(const std::string& cleaned) {
  StringList list;
  list.Add("left over from an earlier line");
  SplitFields(cleaned, list);
  return Fields(list);
}

TEST(BlankToSonderzeichenTest, RemovesQuotesAndParenthesesAndMarksBlanks) {
  EXPECT_EQ(BlankToSonderzeichen("\"1234567\",\"Q1ABC\",\"Jo (Joe) Doe\""),
            "1234567,Q1ABC,Jo\xA0Joe\xA0"
            "Doe");
  EXPECT_EQ(BlankToSonderzeichen(""), "");
  // Apostrophes, brackets, tabs and high bytes stay.
  EXPECT_EQ(BlankToSonderzeichen("O'Neil [x]\t\xE9"), "O'Neil\xA0[x]\t\xE9");
}

struct SplitCase {
  const char* name;
  std::string cleaned;
  std::vector<std::string> fields;
};

class SplitFieldsTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitFieldsTest, SplitsAtCommasAndControlCharacters) {
  EXPECT_EQ(Split(GetParam().cleaned), GetParam().fields);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SplitFieldsTest,
    ::testing::Values(SplitCase{"empty_field_between", "a,,b", {"a", "", "b"}},
                      SplitCase{"empty_first", ",a", {"", "a"}},
                      SplitCase{"empty_last", "a,", {"a", ""}}, SplitCase{"empty_text", "", {}},
                      SplitCase{"only_control_characters", "\t\x01\x1f", {}},
                      SplitCase{"empty_trailing_fields",
                                "4567890,Q5CD,Otto,,,,",
                                {"4567890", "Q5CD", "Otto", "", "", "", ""}},
                      // A tab ends a field and the next one starts right after it.
                      SplitCase{"tab_ends_a_field",
                                "1234567,Q8IJ,A\tB,C,D,E,F",
                                {"1234567", "Q8IJ", "A", "B", "C", "D", "E", "F"}},
                      // Control characters around commas and at the start vanish.
                      SplitCase{"controls_around_commas", "\t a\t,\tb", {"a", "b"}},
                      // A comma followed only by control characters adds no empty field.
                      SplitCase{"comma_then_controls", "a,\t\t", {"a"}},
                      // 0xA0 is an ordinary character: a blank that was cleaned stays in its field.
                      SplitCase{"a0_is_ordinary",
                                "\xA0"
                                "1234567,x",
                                {"\xA0"
                                 "1234567",
                                 "x"}},
                      // A NUL ends the text.
                      SplitCase{"nul_ends_the_text", std::string("a,b\0,c", 6), {"a", "b"}}),
    [](const auto& case_info) { return std::string(case_info.param.name); });

TEST(SonderzeichenToBlankTest, RestoresEveryMarkedBlankAndNothingElse) {
  std::string logged;
  const LogLine log = [&](std::string_view line) { logged += line; };
  EXPECT_EQ(SonderzeichenToBlank("\xA0"
                                 "a\xA0\xA0"
                                 "b\xA0",
                                 log),
            " a  b ");
  EXPECT_EQ(SonderzeichenToBlank("\t\xE9", log), "\t\xE9");
  EXPECT_EQ(logged, "");
}

TEST(IsPresentTest, NeedsAByteAboveBlank) {
  EXPECT_FALSE(IsPresent(""));
  EXPECT_FALSE(IsPresent("   "));
  EXPECT_FALSE(IsPresent(" \t\r\n"));
  EXPECT_TRUE(IsPresent("\xA0\xA0"));  // a field of blanks, as split
  EXPECT_TRUE(IsPresent("  x  "));
}

class AbbreviateRegionTest : public ::testing::Test {
 protected:
  AbbreviateRegionTest() { FillRegionTable(lists_.RegionNames, lists_.RegionCodes); }

  std::string Abbreviate(const std::string& field) {
    lists_.FieldList.Clear();
    for (int i = 0; i < 7; ++i) lists_.FieldList.Add(i == 4 ? field : "other");
    AbbreviateRegion(lists_.FieldList, 4, RegionLookup(lists_.RegionNames, lists_.RegionCodes));
    return std::string(lists_.FieldList.Get(4));
  }

  ConversionLists lists_;
};

TEST_F(AbbreviateRegionTest, TableHasItsRowsInOrder) {
  ASSERT_EQ(lists_.RegionNames.Count(), 62);
  ASSERT_EQ(lists_.RegionCodes.Count(), 62);
  EXPECT_EQ(lists_.RegionNames.Get(0), "Canada");
  EXPECT_EQ(lists_.RegionNames.Get(7),
            "Bosnia\xA0"
            "and\xA0Hercegovi");
  EXPECT_EQ(lists_.RegionNames.Get(7).size(), 20u);
  EXPECT_EQ(lists_.RegionNames.Get(40), "Mecklenburg-Vorpomme");
  EXPECT_EQ(lists_.RegionNames.Get(40).size(), 20u);
  EXPECT_EQ(lists_.RegionNames.Get(28).size(), 20u);
  EXPECT_EQ(lists_.RegionNames.Get(54), "Rhineland-Palatinate");
  EXPECT_EQ(lists_.RegionCodes.Get(41), "???");
  EXPECT_EQ(lists_.RegionNames.Get(61), "Sachsen");
  EXPECT_EQ(lists_.RegionCodes.Get(61), "SAC");
}

TEST_F(AbbreviateRegionTest, EveryRowMatchesItselfInAnyLetterCase) {
  for (int row = 0; row < lists_.RegionNames.Count(); ++row) {
    const std::string name(lists_.RegionNames.Get(row));
    std::string upper = name, lower = name, mixed = name;
    for (size_t i = 0; i < name.size(); ++i) {
      upper[i] = static_cast<char>(toupper(static_cast<unsigned char>(name[i])));
      lower[i] = static_cast<char>(tolower(static_cast<unsigned char>(name[i])));
      if (i % 2 == 0) mixed[i] = upper[i];
    }
    // The first row of that name wins, so compare with the code of that first row.
    int first = 0;
    while (!(lists_.RegionNames.Get(first) == name)) ++first;
    const std::string code(lists_.RegionCodes.Get(first));
    EXPECT_EQ(Abbreviate(upper), code) << name;
    EXPECT_EQ(Abbreviate(lower), code) << name;
    EXPECT_EQ(Abbreviate(mixed), code) << name;
  }
}

TEST_F(AbbreviateRegionTest, MatchesWholeUntrimmedFieldsOnly) {
  struct Case {
    std::string field;
    std::string result;
  };
  const Case cases[] = {
      {"bayern", "BAY"},
      {"BAYERN", "BAY"},
      {"Bayern\xA0", "Bayern\xA0"},
      {"deutschland", "GER"},
      {"Germany", "GER"},
      {"cnty", "???"},
      {"united\xA0states", "USA"},
      {"United\xA0\xA0States", "United\xA0\xA0States"},
      {"United States", "United States"},  // a real blank is not the table's 0xA0
      {"Mecklenburg-Vorpommern", "Mecklenburg-Vorpommern"},
      {"Bosnia\xA0"
       "and\xA0Herzegovina",
       "Bosnia\xA0"
       "and\xA0Herzegovina"},
      {"Hessen", "HE"},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(Abbreviate(c.field), c.result) << c.field;
}

TEST_F(AbbreviateRegionTest, MissingFieldFailsWithTheIndexError) {
  lists_.FieldList.Clear();
  lists_.FieldList.Add("only");
  EXPECT_THROW(
      AbbreviateRegion(lists_.FieldList, 6, RegionLookup(lists_.RegionNames, lists_.RegionCodes)),
      ListIndexError);
  EXPECT_EQ(lists_.FieldList.Count(), 1);
}

TEST(RegionLookupTest, EmptyTableChangesNothing) {
  StringList fields;
  for (int i = 0; i < 7; ++i) fields.Add("Bayern");
  AbbreviateRegion(fields, 4, RegionLookup(StringList(), StringList()));
  EXPECT_EQ(fields.Get(4), "Bayern");
}

TEST(RegionLookupTest, FirstMatchingRowWins) {
  StringList names, codes;
  for (const auto& [name, code] :
       {std::pair("Aa", "1"), std::pair("Bb", "2"), std::pair("aA", "3"), std::pair("Bbb", "4")}) {
    names.Add(name);
    codes.Add(code);
  }
  const RegionLookup regions(names, codes);
  EXPECT_EQ(regions.CodeFor("AA"), "1");
  EXPECT_EQ(regions.CodeFor("bbb"), "4");
  EXPECT_EQ(regions.CodeFor("a"), std::nullopt);
  EXPECT_EQ(regions.CodeFor("a much longer field than any name"), std::nullopt);
}

TEST(JoinFieldsTest, JoinsWithCommasAsSplit) {
  StringList fields;
  for (const char* field : {"3456789", "Q4AB", "Eva\xA0Test", "Town", "HE", "Evi"}) {
    fields.Add(field);
  }
  EXPECT_EQ(JoinFields(fields), "3456789,Q4AB,Eva\xA0Test,Town,HE,Evi");
  EXPECT_EQ(JoinFields(StringList()), "");
  StringList empty_fields;
  empty_fields.Add("");
  empty_fields.Add("");
  EXPECT_EQ(JoinFields(empty_fields), ",");
}

}  // namespace

}  // namespace userdb::conversion
