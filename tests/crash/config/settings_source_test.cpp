#include "crash/config/tools/settings_source.h"

#include <gtest/gtest.h>

#include "tests/crash/config/property_printer.h"

namespace userdb::crash {

namespace {

TEST(ParseSettingsSource, ReadsEveryKindInOrder) {
  const PropertyList list = ParseSettingsSource(
      "# comment\n"
      "\n"
      "Enabled        boolean  true\r\n"
      "  NoSettings\tboolean false  \n"
      "FreezeTimeout  integer  60000\n"
      "AutoRestart    integer  -2147483648\n"
      "TitleBar       text     \"%appname%\"\n"
      "BitFaultMsg    text     \"Die Datei \"%modname%\" scheint defekt zu sein!\"   \n"
      "CloseBtnTxt    text     \"Anwendung schlie\xC3\x9F"
      "en\"\n"
      "SmtpServer     text     \"\"\n"
      "Padded         text     \"  two blanks  \"");
  EXPECT_EQ(list.Items(),
            (std::vector<Property>{
                BooleanProperty("Enabled", true),
                BooleanProperty("NoSettings", false),
                IntegerProperty("FreezeTimeout", 60000),
                IntegerProperty("AutoRestart", INT32_MIN),
                TextProperty("TitleBar", "%appname%"),
                TextProperty("BitFaultMsg", "Die Datei \"%modname%\" scheint defekt zu sein!"),
                TextProperty("CloseBtnTxt",
                             "Anwendung schlie\xDF"
                             "en"),
                TextProperty("SmtpServer", ""),
                TextProperty("Padded", "  two blanks  "),
            }));
}

struct SourceErrorCase {
  const char* what;
  const char* source;
  const char* message;
};

class SettingsSourceErrorTest : public ::testing::TestWithParam<SourceErrorCase> {};

TEST_P(SettingsSourceErrorTest, NamesTheLineAndTheProblem) {
  try {
    ParseSettingsSource(GetParam().source);
    FAIL() << "no error";
  } catch (const SettingsSourceError& error) {
    EXPECT_EQ(error.Message(), GetParam().message);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SettingsSourceErrorTest,
    ::testing::Values(
        SourceErrorCase{"unknown_kind", "A boolean true\nB bool true\n",
                        "line 2: the kind is text, integer or boolean, not \"bool\""},
        SourceErrorCase{"missing_kind", "A\n",
                        "line 1: the kind is text, integer or boolean, not \"\""},
        SourceErrorCase{"boolean_value", "A boolean yes\n",
                        "line 1: a boolean value is true or false"},
        SourceErrorCase{"missing_value", "A boolean\n", "line 1: a boolean value is true or false"},
        SourceErrorCase{"integer_word", "A integer sixty\n",
                        "line 1: an integer value is a 32-bit signed decimal number"},
        SourceErrorCase{"integer_too_large", "A integer 2147483648\n",
                        "line 1: an integer value is a 32-bit signed decimal number"},
        SourceErrorCase{"integer_with_rest", "A integer 5 6\n",
                        "line 1: an integer value is a 32-bit signed decimal number"},
        SourceErrorCase{"integer_empty", "A integer\n",
                        "line 1: an integer value is a 32-bit signed decimal number"},
        SourceErrorCase{"text_unquoted", "A text hello\n",
                        "line 1: a text value stands in double quotes"},
        SourceErrorCase{"text_one_quote", "A text \"\n",
                        "line 1: a text value stands in double quotes"},
        SourceErrorCase{"text_outside_code_page", "A text \"\xC4\x80\"\n",
                        "line 1: the value is not UTF-8 text of Windows-1252 characters"},
        SourceErrorCase{"text_not_utf8", "A text \"\xDF\"\n",
                        "line 1: the value is not UTF-8 text of Windows-1252 characters"},
        SourceErrorCase{"repeated_name", "\n# x\nA boolean true\nA boolean false\n",
                        "line 4: \"A\" is there already"}),
    [](const auto& case_info) { return std::string(case_info.param.what); });

TEST(ParseSettingsSource, RefusesANameLongerThanAStreamCanHold) {
  EXPECT_NO_THROW(ParseSettingsSource(std::string(255, 'N') + " boolean true"));
  EXPECT_THROW(ParseSettingsSource(std::string(256, 'N') + " boolean true"), SettingsSourceError);
}

}  // namespace

}  // namespace userdb::crash
