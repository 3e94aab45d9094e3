// The form userdb2csv prints its log in, chosen from the terminal, the locale and --raw.
#include "cli/log_form.h"

#include <gtest/gtest.h>

namespace userdb::cli {

namespace {

TEST(IsUtf8LocaleTest, ReadsTheCharacterSetOfTheName) {
  for (const char* locale : {"C.UTF-8", "de_DE.utf8", "en_GB.UTF-8@euro", "fr_FR.Utf-8"}) {
    EXPECT_TRUE(IsUtf8Locale(locale)) << locale;
  }
  for (const char* locale : {"", "C", "POSIX", "de_DE", "de_DE.ISO-8859-1", "de_DE@euro.UTF-8",
                             "UTF-8", "en_US.UTF-16"}) {
    EXPECT_FALSE(IsUtf8Locale(locale)) << locale;
  }
}

TEST(ChooseLogFormTest, DisplayFormOnATerminalOrUnderUtf8UnlessBytesAreAsked) {
  struct Case {
    bool bytes_requested;
    bool terminal;
    const char* locale;
    LogForm form;
  };
  const Case cases[] = {
      {false, false, "C", LogForm::kBytes},
      {false, false, "", LogForm::kBytes},
      {false, false, "de_DE.UTF-8", LogForm::kDisplay},
      {false, true, "C", LogForm::kDisplay},
      {false, true, "de_DE.UTF-8", LogForm::kDisplay},
      {true, true, "de_DE.UTF-8", LogForm::kBytes},
      {true, false, "C", LogForm::kBytes},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ChooseLogForm(c.bytes_requested, c.terminal, c.locale), c.form)
        << c.bytes_requested << " " << c.terminal << " " << c.locale;
  }
}

}  // namespace

}  // namespace userdb::cli
