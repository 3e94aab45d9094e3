// Whole conversion runs over real files: log lines, counts, progress, the output file,
// and the failures of reading and writing.
#include "conversion/conversion_run.h"

#include <fcntl.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "conversion/radio_type.h"
#include "conversion/region_table.h"
#include "platform/file_errors.h"
#include "tests/support/file_held_elsewhere.h"
#include "tests/support/temp_folder.h"
#include "tests/support/unprivileged_child.h"

namespace userdb::conversion {

namespace {

using test_support::ReadFile;
using test_support::TempFolder;
using test_support::WriteFile;
using ::testing::ElementsAre;
using namespace std::string_literals;

class ConversionRunTest : public ::testing::Test {
 protected:
  ConversionRunTest() {
    FillRegionTable(lists_.RegionNames, lists_.RegionCodes);
    sinks_.log = [this](std::string_view line) { log_.emplace_back(line); };
    sinks_.set_total_parts = [this](int32_t value) { progress_.emplace_back('T', value); };
    sinks_.set_parts_complete = [this](int32_t value) { progress_.emplace_back('P', value); };
  }

  void Run(const std::string& input_path, RadioType radio_type = kMd9600,
           DisplayFormat display_format = kCompact) {
    ConversionRequest request;
    request.input_path = input_path;
    request.radio_type = radio_type;
    request.display_format = display_format;
    request.radio_type_caption = kRadioTypeCaptions[radio_type];
    request.display_format_caption = kDisplayFormatCaptions[display_format];
    ConversionRun(request, lists_, sinks_);
  }

  TempFolder folder_;
  ConversionLists lists_;
  ConversionSinks sinks_;
  std::vector<std::string> log_;
  std::vector<std::pair<char, int32_t>> progress_;
};

TEST_F(ConversionRunTest, LogsEveryStepAndWritesTheContacts) {
  const std::string input = folder_ / "UserDb.bin";
  WriteFile(input,
            "Radio ID,Callsign,Name,City,State,Nickname,Country\r\n"  // field 0 of 8 bytes
            "1234567,Q1ABC,Anna Maria Muster,Neustadt,Bayern,,Germany\n"
            "\n\r"                                               // two empty lines
            "a,b,c\r"                                            // three fields: skipped
            "1111111,Q9ZZ,Kim,Ort,Bayern\r\n"                    // fails at the nickname
            "3456789,Q4AB,Eva Test,Town,Hessen,Evi\r\n"          // fails at the country
            "123456,Q0,Short,Id,x,y,z\r\n"                       // ignored
            "7654321,Q2XYZ,Bob Beispiel,Town,,,United States");  // no line end
  Run(input, kMd2017, kCompact);

  const std::string output = folder_ / "contacts_users_4.csv";
  EXPECT_THAT(
      log_,
      ElementsAre("File name read: " + input, "Lines found: 9", "----------------------",
                  "Data mismatch in line ", "DMR ID: 1111111",
                  "Origin line: 1111111,Q9ZZ,Kim,Ort,Bayern", "----------------------",
                  "Data mismatch in line ", "DMR ID: 3456789,Q4AB Evi       ,Eva Test|Town|HE|",
                  "Origin line: 3456789,Q4AB,Eva\xA0Test,Town,HE,Evi", "Lines accepted : 4",
                  "Lines ignored  : 2", "Output format used for type: MD-2017/RT82",
                  "Display format used : compact it", "File written to: " + output,
                  "=====> Done <======"));
  EXPECT_EQ(ReadFile(output),
            "1234567,Q1ABC Anna     ,Anna Maria Muster|Neustadt|BAY|GER\r\n"
            "7654321,Q2XYZ Bob      ,Bob Beispiel|Town|USA\r\n");
  EXPECT_THAT(progress_, ElementsAre(std::pair('T', 8), std::pair('P', 0), std::pair('P', 0),
                                     std::pair('P', 8)));
}

TEST_F(ConversionRunTest, Md9600RunHasNoDisplayFormatLine) {
  const std::string input = folder_ / "db.txt";
  WriteFile(input, "4567890,Q5CD,Otto,,,,\r\n");
  Run(input, kMd9600, kFieldPerLine);
  EXPECT_THAT(log_, ElementsAre("File name read: " + input, "Lines found: 1", "Lines accepted : 1",
                                "Lines ignored  : 0", "Output format used for type: MD-9600/RT90",
                                "File written to: " + (folder_ / "contacts_users_1.csv"),
                                "=====> Done <======"));
  EXPECT_EQ(ReadFile(folder_ / "contacts_users_1.csv"), "4567890,Q5CD Otto      ,|\r\n");
  EXPECT_THAT(progress_, ElementsAre(std::pair('T', 0), std::pair('P', 0), std::pair('P', 0),
                                     std::pair('P', 0)));
}

TEST_F(ConversionRunTest, EmptyFileWritesAnEmptyContactsFile) {
  const std::string input = folder_ / "empty.bin";
  WriteFile(input, "");
  Run(input);
  EXPECT_EQ(log_[1], "Lines found: 0");
  EXPECT_EQ(log_[2], "Lines accepted : 0");
  EXPECT_EQ(log_[3], "Lines ignored  : 0");
  EXPECT_EQ(ReadFile(folder_ / "contacts_users_0.csv"), "");
  EXPECT_THAT(progress_, ElementsAre(std::pair('T', -1), std::pair('P', 0), std::pair('P', -1)));
}

TEST_F(ConversionRunTest, NulEndsTheInputSilently) {
  const std::string input = folder_ / "nul.bin";
  WriteFile(input, "1000001,A,B,C,D,E,F\r\n1000002,A,B\0,C,D,E,F\r\n1000003,A,B,C,D,E,F"s);
  Run(input);
  EXPECT_EQ(log_[1], "Lines found: 2");
  EXPECT_EQ(log_[2], "Lines accepted : 1");
  EXPECT_EQ(log_[3], "Lines ignored  : 0");
}

TEST_F(ConversionRunTest, ProgressMovesEveryHundredLinesThatHaveFields) {
  std::string database;
  for (int i = 0; i < 1000; ++i) {
    database += i == 300 ? "two,fields\r\n" : std::to_string(1000000 + i) + ",C,N,T,S,K,L\r\n";
  }
  const std::string input = folder_ / "big.bin";
  WriteFile(input, database);
  Run(input);
  std::vector<std::pair<char, int32_t>> expected = {{'T', 999}, {'P', 0}};
  for (int i = 0; i < 1000; i += 100) {
    if (i != 300) expected.emplace_back('P', i);
  }
  expected.emplace_back('P', 999);
  EXPECT_EQ(progress_, expected);
  EXPECT_EQ(log_[2], "Lines accepted : 999");
}

TEST_F(ConversionRunTest, FailedLinesCountInTheFileNameButAreNotWritten) {
  std::string database;
  for (int i = 0; i < 10; ++i) {
    database += std::to_string(2000000 + i) + (i % 5 == 0 ? ",C,N,T,S\r\n" : ",C,N,T,S,K,L\r\n");
  }
  const std::string input = folder_ / "db.bin";
  WriteFile(input, database);
  Run(input);
  const std::string contacts = ReadFile(folder_ / "contacts_users_10.csv");
  EXPECT_EQ(std::count(contacts.begin(), contacts.end(), '\n'), 8);
}

TEST_F(ConversionRunTest, SecondRunStartsAfreshButTheLogGoesOn) {
  const std::string input = folder_ / "db.bin";
  WriteFile(input, "1000001,A,B,C,D,E,F\r\n1000002,A,B,C,D,E,F\r\n");
  Run(input);
  WriteFile(input, "3000001,X,Y,Z,D,E,F\r\n");
  Run(input);
  EXPECT_EQ(log_.size(), 14u);
  EXPECT_EQ(ReadFile(folder_ / "contacts_users_1.csv"),
            "3000001,X E" + std::string(12, ' ') + ",Z|D|F\r\n");
}

TEST_F(ConversionRunTest, BareFileNameWritesIntoTheCurrentFolder) {
  ASSERT_EQ(chdir(folder_.Path().c_str()), 0);
  WriteFile(folder_ / "UserDb.bin", "1000001,A,B,C,D,E,F\r\n");
  Run("UserDb.bin");
  EXPECT_EQ(log_.front(), "File name read: UserDb.bin");
  EXPECT_EQ(log_[log_.size() - 2], "File written to: contacts_users_1.csv");
  EXPECT_EQ(ReadFile(folder_ / "contacts_users_1.csv"),
            "1000001,A E" + std::string(12, ' ') + ",C|D|F\r\n");
}

TEST_F(ConversionRunTest, InputOfTheOutputsNameIsReplaced) {
  const std::string input = folder_ / "contacts_users_1.csv";
  WriteFile(input, "1000001,A,B,C,D,E,F\r\n");
  Run(input);
  EXPECT_EQ(ReadFile(input), "1000001,A E" + std::string(12, ' ') + ",C|D|F\r\n");
}

TEST_F(ConversionRunTest, MissingInputFailsBeforeAnythingIsLogged) {
  ASSERT_EQ(chdir(folder_.Path().c_str()), 0);
  try {
    Run("missing.bin");
    FAIL() << "no failure";
  } catch (const platform::FileOpenError& error) {
    EXPECT_EQ(error.Message(), "Datei " + folder_.Path() +
                                   "/missing.bin kann nicht ge\xF6"
                                   "ffnet werden. "
                                   "No such file or directory");
  }
  EXPECT_TRUE(log_.empty());
  EXPECT_TRUE(progress_.empty());
}

TEST_F(ConversionRunTest, InputHeldOpenForWritingByAnotherProcessCannotBeOpened) {
  const std::string input = folder_ / "UserDb.bin";
  WriteFile(input, "1000001,A,B,C,D,E,F\r\n");
  test_support::FileHeldElsewhere writer(input,
                                         test_support::FileHeldElsewhere::Hold::kOpenForWriting);
  ASSERT_TRUE(writer.Held());
  EXPECT_THROW(
      {
        try {
          Run(input);
        } catch (const platform::FileOpenError& error) {
          EXPECT_EQ(error.Message(), "Datei " + input +
                                         " kann nicht ge\xF6"
                                         "ffnet werden. "
                                         "Device or resource busy");
          throw;
        }
      },
      platform::FileOpenError);
  writer.Release();
  EXPECT_TRUE(log_.empty());
  // Once the writer is gone, the file reads.
  Run(input);
  EXPECT_EQ(log_.back(), "=====> Done <======");
}

// The run stops after the format lines; no "File written to: " and no "Done".
TEST_F(ConversionRunTest, OutputThatCannotBeCreatedEndsTheLogAtTheFormatLines) {
  const std::string input = folder_ / "UserDb.bin";
  WriteFile(input, "1000001,A,B,C,D,E,F\r\n");
  chmod(folder_.Path().c_str(), 0555);
  const int result = test_support::RunInUnprivilegedChild([&] {
    try {
      Run(input, kMd2017, kFieldPerLine);
    } catch (const platform::FileCreateError& error) {
      const bool message_right =
          error.Message() == "Datei \"" + (folder_ / "contacts_users_1.csv") +
                                 "\" kann nicht erstellt werden. Permission denied";
      const bool log_right = log_.back() == "Display format used : field per line";
      return message_right && log_right ? 0 : 1;
    }
    return 2;
  });
  EXPECT_EQ(result, 0);
}

TEST_F(ConversionRunTest, FullDiskKeepsTheEarlierOutputWhole) {
  std::string database;
  for (int i = 0; i < 200; ++i) database += std::to_string(1000000 + i) + ",C,N,T,S,K,L\r\n";
  const std::string input = folder_ / "UserDb.bin";
  WriteFile(input, database);
  const std::string output = folder_ / "contacts_users_200.csv";
  WriteFile(output, "earlier contacts\r\n");
  const int result = test_support::RunWithFileSizeLimit(1000, [&] {
    try {
      Run(input);
    } catch (const platform::StreamWriteError& error) {
      return error.Message() == "Stream-Schreibfehler" &&
                     log_.back() == "Output format used for type: MD-9600/RT90"
                 ? 0
                 : 1;
    }
    return 2;
  });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(ReadFile(output), "earlier contacts\r\n");
}

}  // namespace

}  // namespace userdb::conversion
