// The radioid.net export: its form told from the first line, its header's columns, and its
// records made into 7-field user-database lines.
#include "conversion/radioid_csv.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "conversion/input_form.h"
#include "tests/support/case_name.h"

namespace userdb::conversion {

namespace {

const std::string kPath = "/data/user.csv";

struct FormCase {
  const char* name;
  std::string bytes;
  InputForm form;
};

class DetectInputFormTest : public ::testing::TestWithParam<FormCase> {};

TEST_P(DetectInputFormTest, TellsTheFormFromTheFirstLine) {
  EXPECT_EQ(DetectInputForm(GetParam().bytes, kPath).form, GetParam().form);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DetectInputFormTest,
    ::testing::Values(
        FormCase{"export header",
                 "RADIO_ID,CALLSIGN,FIRST_NAME,LAST_NAME,CITY,STATE,COUNTRY\r\n1,2",
                 InputForm::kRadioidCsv},
        FormCase{"byte order mark and lower case, only the two columns needed",
                 "\xEF\xBB\xBF"
                 "callsign , radio_id\n",
                 InputForm::kRadioidCsv},
        FormCase{"quoted names", "\"RADIO_ID\",\"CALLSIGN\"", InputForm::kRadioidCsv},
        // The header of the bundled sample names its columns otherwise.
        FormCase{"user database header", "Radio ID,Callsign,Name,City,State,Nickname,Country\r\n",
                 InputForm::kUserDb},
        FormCase{"user database line", "1234567,Q1ABC,Anna,Town,,,Germany\r\n", InputForm::kUserDb},
        FormCase{"the name in the second line only", "1234567,x\r\nRADIO_ID,CALLSIGN\r\n",
                 InputForm::kUserDb},
        FormCase{"an unclosed quote", "\"RADIO_ID,CALLSIGN\r\n\"", InputForm::kUserDb},
        FormCase{"empty", "", InputForm::kUserDb},
        FormCase{"a picture", "\x89PNG\r\n\x1A\n", InputForm::kUserDb}),
    [](const auto& case_info) { return test_support::CaseName(case_info.param.name); });

TEST(DetectInputFormTest, TheRecordsStartAfterTheHeaderLine) {
  const InputLayout layout = DetectInputForm(
      "\xEF\xBB\xBFREMARKS,country,RADIO_ID,state,CALLSIGN,city,LAST_NAME,FIRST_NAME,X\r\n1",
      kPath);
  ASSERT_EQ(layout.form, InputForm::kRadioidCsv);
  EXPECT_EQ(layout.records_start, 72u);
  EXPECT_EQ(layout.records_first_line, 2);
  EXPECT_EQ(layout.columns.count, 9);
  EXPECT_EQ(layout.columns.country, 1);
  EXPECT_EQ(layout.columns.radio_id, 2);
  EXPECT_EQ(layout.columns.state, 3);
  EXPECT_EQ(layout.columns.callsign, 4);
  EXPECT_EQ(layout.columns.city, 5);
  EXPECT_EQ(layout.columns.last_name, 6);
  EXPECT_EQ(layout.columns.first_name, 7);
}

TEST(DetectInputFormTest, AHeaderWithoutCallsignIsRefusedNamingTheFile) {
  try {
    DetectInputForm("RADIO_ID,NAME,CITY\r\n1234567,Anna,Town\r\n", kPath);
    FAIL() << "accepted";
  } catch (const MissingColumnError& error) {
    EXPECT_EQ(error.Message(),
              "The first line of /data/user.csv names RADIO_ID but no CALLSIGN column");
  }
}

TEST(CsvColumnsOfHeaderTest, FirstColumnOfANameCountsAndMissingOnesStayUnset) {
  const std::optional<CsvColumns> columns =
      CsvColumnsOfHeader({"RADIO_ID", "CALLSIGN", "radio_id", "COUNTRY"}, kPath);
  ASSERT_TRUE(columns);
  EXPECT_EQ(columns->radio_id, 0);
  EXPECT_EQ(columns->country, 3);
  EXPECT_EQ(columns->first_name, -1);
  EXPECT_EQ(columns->city, -1);
  EXPECT_EQ(columns->count, 4);
}

struct RecordCase {
  const char* name;
  std::vector<std::string_view> record;
  std::string line;
};

class UserDbLineOfCsvRecordTest : public ::testing::TestWithParam<RecordCase> {};

TEST_P(UserDbLineOfCsvRecordTest, MakesTheSevenFields) {
  // The export's own order, and one more column that is not read.
  const std::optional<CsvColumns> columns = CsvColumnsOfHeader(
      {"RADIO_ID", "CALLSIGN", "FIRST_NAME", "LAST_NAME", "CITY", "STATE", "COUNTRY", "REMARKS"},
      kPath);
  ASSERT_TRUE(columns);
  std::string line = "left over";
  UserDbLineOfCsvRecord(GetParam().record, *columns, line);
  EXPECT_EQ(line, GetParam().line);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UserDbLineOfCsvRecordTest,
    ::testing::Values(
        RecordCase{"both names",
                   {"2621001", "DL1ABC", "Hans", "Meier", "Berlin", "Berlin", "Germany", "x"},
                   "2621001,DL1ABC,Hans Meier,Berlin,Berlin,,Germany"},
        RecordCase{"names trimmed and either missing",
                   {"1", "C", " Ann ", "", "T", "S", "L", ""},
                   "1,C,Ann,T,S,,L"},
        RecordCase{"only the last name", {"1", "C", "", " Doe", "", "", "", ""}, "1,C,Doe,,,,"},
        RecordCase{
            "a comma in a value becomes a semicolon",
            {"3101002", "W2DEF", "Mary", "Johnson", "Washington, D.C.", "DC", "United States", ""},
            "3101002,W2DEF,Mary Johnson,Washington; D.C.,DC,,United States"},
        RecordCase{"line breaks and tabs become blanks",
                   {"1", "C", "A\r\nB", "X\tY", "one\ntwo", "S", "L", ""},
                   "1,C,A B X Y,one two,S,,L"}),
    [](const auto& case_info) { return test_support::CaseName(case_info.param.name); });

TEST(UserDbLineOfCsvRecordTest, ColumnsTheHeaderLacksAreEmpty) {
  const std::optional<CsvColumns> columns = CsvColumnsOfHeader({"CALLSIGN", "RADIO_ID"}, kPath);
  ASSERT_TRUE(columns);
  std::string line;
  UserDbLineOfCsvRecord({"Q1ABC", "1234567"}, *columns, line);
  EXPECT_EQ(line, "1234567,Q1ABC,,,,,");
}

}  // namespace

}  // namespace userdb::conversion
