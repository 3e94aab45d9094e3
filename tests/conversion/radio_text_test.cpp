// Text the radio can show: names of many scripts in Windows-1252 and in ASCII, input that is
// not UTF-8, and lines whose fields stay fields.
#include "conversion/radio_text.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/case_name.h"

namespace userdb::conversion {

namespace {

// One object for every case, as a program keeps it: its transliterators are made once.
RadioText& SharedRadioText() {
  static RadioText radio_text;
  return radio_text;
}

struct Case {
  const char* name;
  TextChoice choice;
  std::string field;
  std::string converted;
};

class ConvertFieldTest : public ::testing::TestWithParam<Case> {};

TEST_P(ConvertFieldTest, GivesTheRadiosText) {
  const std::string converted = SharedRadioText().ConvertField(GetParam().choice, GetParam().field);
  EXPECT_EQ(converted, GetParam().converted);
  EXPECT_EQ(converted.find('?'), std::string::npos);
  if (GetParam().choice == TextChoice::kAscii) {
    for (const char byte : converted) EXPECT_LT(static_cast<unsigned char>(byte), 0x80);
  }
}

constexpr TextChoice kCp1252 = TextChoice::kCp1252;
constexpr TextChoice kAscii = TextChoice::kAscii;
constexpr TextChoice kKeep = TextChoice::kKeep;

INSTANTIATE_TEST_SUITE_P(
    Names, ConvertFieldTest,
    ::testing::Values(
        // Letters Windows-1252 has are written as its bytes, also those beyond Latin-1.
        Case{"german", kCp1252, "Jürgen Müller", "J\xFCrgen M\xFCller"},
        Case{"czech caron in the code page", kCp1252, "Žofie Šimková",
             "\x8E"
             "ofie \x8Aimkov\xE1"},
        Case{"ligature", kCp1252, "Œuvre", "\x8Cuvre"},
        // Every other letter in Latin.
        Case{"polish", kCp1252, "Łukasz Wójcik", "Lukasz W\xF3jcik"},
        Case{"serbian latin", kCp1252, "Đorđe Petrović", "Dorde Petrovic"},
        Case{"russian", kCp1252, "Сергей", "Sergej"},
        Case{"ukrainian", kCp1252, "Олександр", "Oleksandr"},
        Case{"greek", kCp1252, "Ολγα", "Olga"}, Case{"georgian", kCp1252, "ქართული", "kartuli"},
        Case{"armenian", kCp1252, "Հայկ", "Hayk"}, Case{"korean", kCp1252, "김민준", "gimminjun"},
        Case{"hindi", kCp1252, "नमस्ते", "namaste"},
        // A script without a Latin reading of its own gets the letters of its Unicode names.
        Case{"cherokee", kCp1252, "ᏎᏉ", "sequo"},
        Case{"a symbol without a Latin form is left out", kCp1252, "Ann ★", "Ann "},
        // Composed before it is looked up: u and a separate diaeresis are the code page's ü.
        Case{"decomposed letters", kCp1252, "Mu\xCC\x88ller", "M\xFCller"},
        // Not UTF-8: Windows-1252 already.
        Case{"windows-1252 kept", kCp1252, "M\xFCller", "M\xFCller"},
        Case{"ascii german", kAscii, "Jürgen Großmann", "Jurgen Grossmann"},
        Case{"ascii russian", kAscii, "Сергей", "Sergej"},
        Case{"ascii greek", kAscii, "Θεόδωρος", "Theodoros"},
        Case{"ascii from windows-1252", kAscii,
             "M\xFC"
             "ller \x8C",
             "Muller OE"},
        Case{"ascii ligature", kAscii, "Œuvre", "OEuvre"},
        Case{"keep leaves the bytes", kKeep, "Müller", "Müller"},
        Case{"ascii text is never touched", kAscii, "Plain (Text)", "Plain (Text)"}),
    [](const auto& case_info) { return test_support::CaseName(case_info.param.name); });

TEST(RadioTextTest, ACommaOrControlCharacterAConversionYieldsKeepsTheFieldsApart) {
  RadioText& radio_text = SharedRadioText();
  // Latin-ASCII writes the low double quotation mark as two commas.
  EXPECT_EQ(radio_text.ConvertField(kAscii,
                                    "\xE2\x80\x9E"
                                    "Bob"),
            ";;Bob");
  std::string converted;
  EXPECT_EQ(radio_text.ConvertLine(kAscii,
                                   "1234567,\xE2\x80\x9E"
                                   "Bob,M\xC3\xBCller\tx,,Ende",
                                   converted),
            "1234567,;;Bob,Muller\tx,,Ende");
}

TEST(RadioTextTest, ALineOfAsciiOrKeptBytesIsItself) {
  RadioText& radio_text = SharedRadioText();
  std::string converted = "untouched";
  const std::string line = "1234567,Q1ABC,Anna,Town";
  EXPECT_EQ(radio_text.ConvertLine(kCp1252, line, converted).data(), line.data());
  const std::string utf8 = "1234567,Q1ABC,J\xC3\xBCrgen";
  EXPECT_EQ(radio_text.ConvertLine(kKeep, utf8, converted).data(), utf8.data());
  EXPECT_EQ(converted, "untouched");
}

TEST(RadioTextTest, SameAnswersTheTenthTimeAndFromAFreshObject) {
  for (int round = 0; round < 10; ++round) {
    EXPECT_EQ(SharedRadioText().ConvertField(kCp1252, "Сергей Łukasz"), "Sergej Lukasz");
  }
  RadioText fresh;
  EXPECT_EQ(fresh.ConvertField(kAscii, "Сергей Łukasz"), "Sergej Lukasz");
  RadioText moved(std::move(fresh));
  EXPECT_EQ(moved.ConvertField(kAscii, "Ολγα"), "Olga");
}

}  // namespace

}  // namespace userdb::conversion
