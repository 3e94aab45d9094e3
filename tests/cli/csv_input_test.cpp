// userdb2csv with radioid.net CSV exports and several inputs, run as a user runs it: what
// it prints, its exit status and what it writes.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/cli/userdb2csv_program.h"
#include "tests/support/temp_folder.h"

namespace userdb::cli {

namespace {

using test_support::ProgramResult;
using test_support::ReadFile;
using test_support::TempFolder;
using test_support::WriteFile;

const char kExport[] =
    "\xEF\xBB\xBFRADIO_ID,CALLSIGN,FIRST_NAME,LAST_NAME,CITY,STATE,COUNTRY,REMARKS\r\n"
    "2621001,DL1ABC,J\xC3\xBCrgen,M\xC3\xBCller,M\xC3\xBCnchen,Bayern,Germany,\r\n"
    "2501003,RA3DEF,\xD0\xA1\xD0\xB5\xD1\x80\xD0\xB3\xD0\xB5\xD0\xB9,,\"Moskva, Center\",,"
    "Russia,\r\n";

TEST(CsvInputTest, AnExportTurnsIntoContactsWhoseNamesReadRight) {
  TempFolder folder;
  WriteFile(folder / "user.csv", kExport);
  const ProgramResult result = Userdb2csv({"--radio", "md2017", "user.csv"}, folder.Path());
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.out,
            "Input format: radioid.net CSV\n"
            "File name read: user.csv\n"
            "Lines found: 2\n"
            "Lines accepted : 2\n"
            "Lines ignored  : 0\n"
            "Output format used for type: MD-2017/RT82\n"
            "Display format used : compact it\n"
            "File written to: contacts_users_2.csv\n"
            "=====> Done <======\n");
  EXPECT_EQ(ReadFile(folder / "contacts_users_2.csv"),
            "2621001,DL1ABC J\xFCrgen  ,J\xFCrgen M\xFCller|M\xFCnchen|BAY|GER\r\n"
            "2501003,RA3DEF Sergej  ,Sergej|Moskva; Center|Russia\r\n");
}

TEST(CsvInputTest, SeveralInputsOfBothFormsWithTheirOptions) {
  TempFolder folder;
  WriteFile(folder / "user.csv", kExport);
  WriteFile(folder / "local.bin", "2621001,DL1ABC,Juergen,Garching,,,Germany\r\n");
  const ProgramResult result = Userdb2csv(
      {"--radio", "0", "--text", "ascii", "--sort-by-id", "user.csv", "local.bin"}, folder.Path());
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_NE(result.out.find("File name read: local.bin\nLines found: 1\nEntries added: 0\n"
                            "Entries replaced: 1\n"),
            std::string::npos)
      << result.out;
  EXPECT_EQ(ReadFile(folder / "contacts_users_2.csv"),
            "2501003,RA3DEF Sergej  ,Moskva; Center|Russia\r\n"
            "2621001,DL1ABC Juergen ,Garching|GER\r\n");
}

TEST(CsvInputTest, AnExportWithoutCallsignExitsWithTwoAndWritesNothing) {
  TempFolder folder;
  WriteFile(folder / "user.csv", "RADIO_ID,FIRST_NAME\r\n2621001,Hans\r\n");
  const ProgramResult result = Userdb2csv({"--radio", "0", "user.csv"}, folder.Path());
  EXPECT_EQ(result.exit_code, 2);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err, "The first line of user.csv names RADIO_ID but no CALLSIGN column\n");
  EXPECT_FALSE(std::filesystem::exists(folder / "contacts_users_0.csv"));
  EXPECT_FALSE(std::filesystem::exists(folder / "contacts_users_1.csv"));
}

TEST(CsvInputTest, AMissingFurtherInputIsRefusedAsTheFirstOneIs) {
  TempFolder folder;
  WriteFile(folder / "user.csv", kExport);
  const ProgramResult result =
      Userdb2csv({"--radio", "0", "user.csv", "missing.bin"}, folder.Path());
  EXPECT_EQ(result.exit_code, 2);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err, "File not exists or blocked\n");
}

}  // namespace

}  // namespace userdb::cli
