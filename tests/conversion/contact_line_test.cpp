// The contact line layouts, byte for byte, and what a failing composition leaves behind.
#include "conversion/contact_line.h"

#include <gtest/gtest.h>

#include <string>

#include "conversion/record_preparation.h"
#include "conversion/region_table.h"

namespace userdb::conversion {

namespace {

std::string Blanks(int count) {
  return std::string(count, ' ');
}

class ContactLineTest : public ::testing::Test {
 protected:
  ContactLineTest() { FillRegionTable(lists_.RegionNames, lists_.RegionCodes); }

  // Cleans and splits `input` as a run does, then composes; returns the line text, or
  // the text at the failure with `failed` set.
  std::string Compose(const std::string& input, RadioType radio_type, DisplayFormat display_format,
                      bool* failed = nullptr) {
    SplitFields(BlankToSonderzeichen(input), lists_.FieldList);
    std::string line_text(lists_.FieldList.Get(0));
    bool threw = false;
    try {
      const RegionLookup regions(lists_.RegionNames, lists_.RegionCodes);
      ComposeContactLine(radio_type, display_format, {lists_.FieldList, regions, log_}, line_text);
    } catch (const ListIndexError&) {
      threw = true;
    }
    if (failed != nullptr) *failed = threw;
    EXPECT_EQ(threw, failed != nullptr) << "composition of " << input;
    return line_text;
  }

  ConversionLists lists_;
  std::string logged_;
  LogLine log_ = [this](std::string_view line) { logged_ += std::string(line) + "\n"; };
};

struct LayoutCase {
  const char* name;
  std::string input;
  RadioType radio_type;
  DisplayFormat display_format;
  std::string expected;
};

class ContactLineLayoutTest : public ContactLineTest,
                              public ::testing::WithParamInterface<LayoutCase> {};

TEST_P(ContactLineLayoutTest, ComposesTheLineByteForByte) {
  const LayoutCase& layout = GetParam();
  const std::string line = Compose(layout.input, layout.radio_type, layout.display_format);
  EXPECT_EQ(line, layout.expected);
  EXPECT_EQ(logged_, "");
}

const std::string kAnna = "1234567,Q1ABC,Anna Maria Muster,Neustadt,Bayern,,Germany";
const std::string kRobert =
    "\"7654321\",\"Q2XYZ\",\"Robert Beispiel\",\"Springfield (North)\",\"Lower Saxony\","
    "\"Bob\",\"United States\"";
const std::string kMax = "2345678,Q3LONGCALL,Max Mustermann,Ort,,Maximilian,deutschland";
const std::string kOtto = "4567890,Q5CD,Otto,,,,";
const std::string kBen = "6789012,Q7GH,Ben Muster,Stadt,Sachsen-Anhalt,   ,cnty";

INSTANTIATE_TEST_SUITE_P(
    Examples, ContactLineLayoutTest,
    ::testing::Values(
        LayoutCase{"anna_md9600", kAnna, kMd9600, kCompact,
                   "1234567,Q1ABC Anna" + Blanks(5) + ",Neustadt|BAY|GER"},
        LayoutCase{"anna_md2017_compact", kAnna, kMd2017, kCompact,
                   "1234567,Q1ABC Anna" + Blanks(5) + ",Anna Maria Muster|Neustadt|BAY|GER"},
        LayoutCase{"anna_md2017_field_per_line", kAnna, kMd2017, kFieldPerLine,
                   "1234567,Q1ABC Anna" + Blanks(5) + ",Anna Maria Muster" + Blanks(8) +
                       "Neustadt" + Blanks(16) + "BAY" + Blanks(21) + "GER"},
        LayoutCase{"robert_md9600", kRobert, kMd9600, kCompact,
                   "7654321,Q2XYZ Bob" + Blanks(6) + ",Springfield North|NDS|USA"},
        LayoutCase{"robert_md2017_compact", kRobert, kMd2017, kCompact,
                   "7654321,Q2XYZ Bob" + Blanks(6) + ",Robert Beispiel|Springfield North|NDS|USA"},
        LayoutCase{"robert_md2017_field_per_line", kRobert, kMd2017, kFieldPerLine,
                   "7654321,Q2XYZ Bob" + Blanks(6) + ",Robert Beispiel" + Blanks(10) +
                       "Springfield North" + Blanks(7) + "NDS" + Blanks(21) + "USA"},
        LayoutCase{"max_md9600", kMax, kMd9600, kCompact, "2345678,Q3LONGCALL Maxi,Ort|GER"},
        LayoutCase{"max_md2017_compact", kMax, kMd2017, kCompact,
                   "2345678,Q3LONGCALL Maxi,Max Mustermann|Ort|GER"},
        LayoutCase{
            "max_md2017_field_per_line", kMax, kMd2017, kFieldPerLine,
            "2345678,Q3LONGCALL Maxi,Max Mustermann" + Blanks(11) + "Ort" + Blanks(21) + "GER"},
        LayoutCase{"otto_md9600", kOtto, kMd9600, kCompact, "4567890,Q5CD Otto" + Blanks(6) + ",|"},
        LayoutCase{"otto_md2017_compact", kOtto, kMd2017, kCompact,
                   "4567890,Q5CD Otto" + Blanks(6) + ",Otto|"},
        LayoutCase{"otto_md2017_field_per_line", kOtto, kMd2017, kFieldPerLine,
                   "4567890,Q5CD Otto" + Blanks(6) + ",Otto" + Blanks(21)},
        LayoutCase{"ben_md9600", kBen, kMd9600, kCompact,
                   "6789012,Q7GH Ben" + Blanks(7) + ",Stadt|SAH|???"},
        LayoutCase{"ben_md2017_compact", kBen, kMd2017, kCompact,
                   "6789012,Q7GH Ben" + Blanks(7) + ",Ben Muster|Stadt|SAH|???"},
        // A blank in the callsign stays 0xA0; the display format is ignored for the MD-9600.
        LayoutCase{"blank_in_the_callsign", "1212121,Q1 AB,Lea Beispiel,Ort,,,", kMd9600,
                   kFieldPerLine,
                   "1212121,Q1\xA0"
                   "AB Lea" +
                       Blanks(6) + ",Ort|"},
        // Any display format other than 0 is compact.
        LayoutCase{"any_other_format_is_compact", kOtto, kMd2017, static_cast<DisplayFormat>(7),
                   "4567890,Q5CD Otto" + Blanks(6) + ",Otto|"},
        // Parts longer than their width are cut; a part of exactly its width is kept.
        LayoutCase{"long_parts_cut", "1000001,Q1,N,123456789012345678901234567890,,,X", kMd2017,
                   kFieldPerLine,
                   "1000001,Q1 N" + Blanks(11) + ",N" + Blanks(24) + "123456789012345678901234X"},
        LayoutCase{"part_of_exactly_its_width_kept",
                   "1000002,Q1,Nameofexactlytwentyfivech,City,,,X", kMd2017, kFieldPerLine,
                   "1000002,Q1 Nameofexactl,Nameofexactlytwentyfivech"
                   "City" +
                       Blanks(20) + "X"},
        // A blank-only city is present and written as blanks; a blank-only nickname is not.
        LayoutCase{"blank_only_city_and_nickname", "1000003,Q1,Kim Lee,   ,,   ,", kMd9600,
                   kCompact, "1000003,Q1 Kim" + Blanks(9) + ",   |"},
        // 0xA0 from the input is a blank in restored fields, kept in the ID and callsign.
        LayoutCase{"a0_in_the_input",
                   "10\xA0"
                   "0004,Q\xA0"
                   "1,N,C\xA0"
                   "D,,,E\xA0"
                   "F",
                   kMd9600, kCompact,
                   "10\xA0"
                   "0004,Q\xA0"
                   "1 N" +
                       Blanks(10) + ",C D|E F"}),
    [](const auto& case_info) { return std::string(case_info.param.name); });

TEST_F(ContactLineTest, SixFieldsFailAtTheCountryWithTheStateAlreadyAbbreviated) {
  const std::string input = "3456789,Q4AB,Eva Test,Town,Hessen,Evi";
  bool failed = false;
  EXPECT_EQ(Compose(input, kMd9600, kCompact, &failed),
            "3456789,Q4AB Evi" + Blanks(7) + ",Town|HE");
  EXPECT_EQ(JoinFields(lists_.FieldList), "3456789,Q4AB,Eva\xA0Test,Town,HE,Evi");
  EXPECT_EQ(Compose(input, kMd2017, kCompact, &failed),
            "3456789,Q4AB Evi" + Blanks(7) + ",Eva Test|Town|HE|");
  EXPECT_EQ(JoinFields(lists_.FieldList), "3456789,Q4AB,Eva\xA0Test,Town,HE,Evi");
}

TEST_F(ContactLineTest, FiveFieldsFailAtTheNicknameBeforeAnyLookUp) {
  for (const RadioType radio_type : {kMd9600, kMd2017}) {
    bool failed = false;
    EXPECT_EQ(Compose("1111111,Q9ZZ,Kim,Ort,Bayern", radio_type, kFieldPerLine, &failed),
              "1111111");
    EXPECT_EQ(JoinFields(lists_.FieldList), "1111111,Q9ZZ,Kim,Ort,Bayern");
  }
}

TEST(PadToWidthTest, FillsOrCutsToTheWidth) {
  EXPECT_EQ(PadToWidth("abc", 5), "abc  ");
  EXPECT_EQ(PadToWidth("abcde", 5), "abcde");
  EXPECT_EQ(PadToWidth("abcdef", 5), "abcde");
  EXPECT_EQ(PadToWidth("", 0), "");
  EXPECT_EQ(PadToWidth("", 40), std::string(28, ' '));  // never more than 28 blanks
}

TEST(ComposeDisplayNameTest, IsAlwaysFifteenBytes) {
  struct Case {
    std::string line;
    std::string expected;
  };
  const Case cases[] = {
      {"1,CALL,Name,c,s,Nick,x", "CALL Nick" + Blanks(6)},
      {"1,CALL,First Second,c,s,,x", "CALL First" + Blanks(5)},
      {"1,VERYLONGCALLSIGN,Name,c,s,,x", "VERYLONGCALLSIG"},
      {"1,CALL,,c,s,,x", "CALL" + Blanks(11)},
      // A name that starts with a blank has an empty first word.
      {"1,CALL, Leading,c,s,,x", "CALL" + Blanks(11)},
      // A nickname keeps its own blanks.
      {"1,CALL,Name,c,s, Nick ,x", "CALL  Nick " + Blanks(4)},
  };
  for (const Case& c : cases) {
    StringList fields;
    SplitFields(BlankToSonderzeichen(c.line), fields);
    EXPECT_EQ(ComposeDisplayName(fields, [](std::string_view) {}), c.expected) << c.line;
  }
}

}  // namespace

}  // namespace userdb::conversion
