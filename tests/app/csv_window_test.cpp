// The window with a radioid.net CSV export: the form and the text told from the file, as on
// the command line, and the box for an export that lacks a column the contacts need.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/app/gui_test_support.h"

namespace userdb::app {

namespace {

using gui_test::App;
using gui_test::ShownBox;
using gui_test::WindowTest;
using test_support::ReadFile;
using test_support::WriteFile;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

TEST_F(WindowTest, AnExportIsReadAsOneAndItsNamesWrittenForTheRadio) {
  const std::string input = folder_ / "user.csv";
  WriteFile(input,
            "RADIO_ID,CALLSIGN,FIRST_NAME,LAST_NAME,CITY,STATE,COUNTRY\r\n"
            "2621001,DL1ABC,J\xC3\xBCrgen,M\xC3\xBCller,K\xC3\xB6ln,,Germany\r\n"
            "2602002,SP2XYZ,\xC5\x81ukasz,,\"Gda\xC5\x84sk, Port\",,Poland\r\n");
  Start();
  Choose(input, 0);

  EXPECT_THAT(Transform(), IsEmpty());

  const std::string output = folder_ / "contacts_users_2.csv";
  EXPECT_THAT(LogLines(), ElementsAre("Input format: radioid.net CSV", "File name read: " + input,
                                      "Lines found: 2", "Lines accepted : 2", "Lines ignored  : 0",
                                      "Output format used for type: MD-9600/RT90",
                                      "File written to: " + output, "=====> Done <======"));
  EXPECT_EQ(ReadFile(output),
            "2621001,DL1ABC J\xFCrgen  ,K\xF6ln|GER\r\n"
            "2602002,SP2XYZ Lukasz  ,Gdansk; Port|POL\r\n");
}

TEST_F(WindowTest, AnExportWithoutCallsignIsToldInABoxAndNothingIsWritten) {
  const std::string input = folder_ / "user.csv";
  WriteFile(input, "RADIO_ID,FIRST_NAME\r\n2621001,Hans\r\n");
  Start();
  Choose(input, 1);

  const std::vector<ShownBox> boxes = Transform();

  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].title, App().Title().toStdString());
  EXPECT_EQ(boxes[0].text, "The first line of " + input + " names RADIO_ID but no CALLSIGN column");
  EXPECT_EQ(boxes[0].icon, QMessageBox::Critical);
  EXPECT_FALSE(boxes[0].transform_enabled);
  EXPECT_TRUE(TransformButton()->isEnabled());
  EXPECT_THAT(LogLines(), IsEmpty());
  EXPECT_FALSE(std::filesystem::exists(folder_ / "contacts_users_0.csv"));
  EXPECT_FALSE(std::filesystem::exists(folder_ / "contacts_users_1.csv"));

  // The next file converts as always.
  WriteFile(input, "RADIO_ID,CALLSIGN\r\n2621001,DL1ABC\r\n");
  EXPECT_THAT(Transform(), IsEmpty());
  EXPECT_EQ(LogLines().back(), "=====> Done <======");
}

}  // namespace

}  // namespace userdb::app
