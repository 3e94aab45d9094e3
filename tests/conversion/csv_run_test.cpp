// Whole runs over radioid.net CSV exports: the contacts written for a small export made by
// hand, the log with its added lines, malformed records, the text choices, and the
// refusals of an input that cannot be read as either form.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "conversion/conversion_run.h"
#include "conversion/radioid_csv.h"
#include "conversion/transform_command.h"
#include "tests/conversion/recorded_run.h"
#include "tests/support/temp_folder.h"

namespace userdb::conversion {

namespace {

using test_support::ReadFile;
using test_support::WriteFile;
using ::testing::ElementsAre;

class CsvRunTest : public RecordedRunTest {
 protected:
  // The export made by hand: a byte-order mark, a REMARKS column, names in four scripts,
  // quoted commas, quotes and a line break, a record short of a column, a short ID, an
  // empty line and a quote that is never closed.
  std::string Fixture() {
    const std::string input = folder_ / "user.csv";
    WriteFile(input, ReadFile(std::string(FIXTURES) + "/radioid_users.csv"));
    return input;
  }
};

TEST_F(CsvRunTest, TheHandMadeExportGivesItsContactsFile) {
  struct Layout {
    RadioType radio_type;
    DisplayFormat display_format;
    const char* expected_file;
  };
  const Layout layouts[] = {{kMd9600, kCompact, "radioid_md9600.csv"},
                            {kMd2017, kCompact, "radioid_md2017_compact.csv"},
                            {kMd2017, kFieldPerLine, "radioid_md2017_field_per_line.csv"}};
  const std::string input = Fixture();
  for (const Layout& layout : layouts) {
    Run({input, layout.radio_type, layout.display_format});
    EXPECT_EQ(ReadFile(folder_ / "contacts_users_8.csv"),
              ReadFile(std::string(FIXTURES) + "/" + layout.expected_file))
        << layout.expected_file;
  }
}

TEST_F(CsvRunTest, LogStartsWithTheFormAndNamesMalformedRecordsByLine) {
  const std::string input = Fixture();
  Run({input, kMd2017, kCompact});
  EXPECT_THAT(
      log_,
      ElementsAre("Input format: radioid.net CSV", "File name read: " + input, "Lines found: 11",
                  "Malformed record in line 9: fewer columns than the header",
                  "Malformed record in line 14: quote not closed at the end of "
                  "the file",
                  "Lines accepted : 8", "Lines ignored  : 3",
                  "Output format used for type: MD-2017/RT82", "Display format used : compact it",
                  "File written to: " + (folder_ / "contacts_users_8.csv"), "=====> Done <======"));
  // The progress counts records, the header not among them.
  EXPECT_EQ(progress_.front(), std::pair('T', 10));
  EXPECT_EQ(progress_.back(), std::pair('P', 10));
}

// Every display name is 15 characters on the radio: 15 bytes of Windows-1252, or of ASCII.
TEST_F(CsvRunTest, DisplayNamesAreFifteenCharactersWhateverTheScript) {
  const std::string input = folder_ / "user.csv";
  WriteFile(input,
            "RADIO_ID,CALLSIGN,FIRST_NAME,LAST_NAME,CITY,STATE,COUNTRY\r\n"
            "2501003,RA3DEF,Сергей,Иванов,,,\r\n"
            "2021004,SV1GHI,Ολγα,Παπαδοπούλου,,,\r\n"
            "2621001,DL1ABC,Jürgen,Müller,,,\r\n"
            "4401002,JA1XYZ,김민준,,,,\r\n");
  struct Choice {
    std::optional<TextChoice> text_choice;
    std::vector<std::string> display_names;
  };
  const Choice choices[] = {
      {std::nullopt,
       {"RA3DEF Sergej  ", "SV1GHI Olga    ", "DL1ABC J\xFCrgen  ", "JA1XYZ gimminju"}},
      {TextChoice::kAscii,
       {"RA3DEF Sergej  ", "SV1GHI Olga    ", "DL1ABC Jurgen  ", "JA1XYZ gimminju"}},
  };
  for (const Choice& choice : choices) {
    TransformSelections selections{input, kMd9600, kCompact};
    selections.text_choice = choice.text_choice;
    Run(selections);
    const std::string contacts = ReadFile(folder_ / "contacts_users_4.csv");
    std::vector<std::string> display_names;
    for (size_t start = 0; start < contacts.size(); start = contacts.find('\n', start) + 1) {
      display_names.push_back(contacts.substr(start + 8, 15));
      EXPECT_EQ(contacts[start + 23], ',');
    }
    EXPECT_EQ(display_names, choice.display_names);
  }
}

TEST_F(CsvRunTest, KeepWritesTheBytesAsTheyCome) {
  const std::string input = folder_ / "user.csv";
  WriteFile(input, "RADIO_ID,CALLSIGN,FIRST_NAME,CITY\r\n2621001,DL1ABC,Jürgen,Köln\r\n");
  TransformSelections selections{input, kMd9600, kCompact};
  selections.text_choice = TextChoice::kKeep;
  Run(selections);
  // Seven characters of the name take eight bytes: the display name is a character short.
  EXPECT_EQ(ReadFile(folder_ / "contacts_users_1.csv"),
            "2621001,DL1ABC J\xC3\xBCrgen ,K\xC3\xB6ln|\r\n");
}

TEST_F(CsvRunTest, AHeaderOnlyWritesNoContactAndWarns) {
  const std::string input = folder_ / "user.csv";
  WriteFile(input, "\xEF\xBB\xBFRADIO_ID,CALLSIGN,FIRST_NAME,LAST_NAME,CITY,STATE,COUNTRY\r\n");
  Run({input, kMd9600, kCompact});
  EXPECT_EQ(log_[2], "Lines found: 0");
  EXPECT_EQ(log_.back(), kNoDmrIdWarning);
  EXPECT_EQ(log_[log_.size() - 2], "=====> Done <======");
  EXPECT_EQ(ReadFile(folder_ / "contacts_users_0.csv"), "");
}

TEST_F(CsvRunTest, AHeaderWithoutCallsignIsRefusedBeforeAnythingIsLoggedOrWritten) {
  const std::string input = folder_ / "user.csv";
  WriteFile(input, "RADIO_ID,FIRST_NAME,COUNTRY\r\n2621001,Hans,Germany\r\n");
  try {
    Run({input, kMd9600, kCompact});
    FAIL() << "converted";
  } catch (const MissingColumnError& error) {
    EXPECT_EQ(error.Message(),
              "The first line of " + input + " names RADIO_ID but no CALLSIGN column");
  }
  EXPECT_TRUE(log_.empty());
  EXPECT_TRUE(progress_.empty());
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_.Path()),
                          std::filesystem::directory_iterator()),
            1);
}

// A wrong file chosen keeps the user-database form's log, with one warning at its end.
TEST_F(CsvRunTest, AFileWithoutAnyDmrIdEndsItsLogWithAWarning) {
  const std::string input = folder_ / "picture.png";
  WriteFile(input, std::string("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16));
  Run({input, kMd2017, kFieldPerLine});
  EXPECT_THAT(log_, ElementsAre("File name read: " + input, "Lines found: 2", "Lines accepted : 0",
                                "Lines ignored  : 0", "Output format used for type: MD-2017/RT82",
                                "Display format used : field per line",
                                "File written to: " + (folder_ / "contacts_users_0.csv"),
                                "=====> Done <======", kNoDmrIdWarning));
}

}  // namespace

}  // namespace userdb::conversion
