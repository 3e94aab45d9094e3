// The Transform command's rules that the window and the command line share: the checks
// and their order, the radio types and display formats of option indexes, the run's
// request, and the lists a conversion works in.
#include "conversion/transform_command.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "tests/support/temp_folder.h"

namespace userdb::conversion {

namespace {

using test_support::TempFolder;
using test_support::WriteFile;

struct RefusalCase {
  const char* name;
  const char* input;  // in the test's folder, which holds "UserDb.bin" and "sub/"
  std::optional<RadioType> radio_type;
  std::optional<std::string> refusal;
};

class TransformRefusalTest : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(TransformRefusalTest, ChecksTheFileFirstThenTheRadioType) {
  TempFolder folder;
  WriteFile(folder / "UserDb.bin", "1234567,A,B,C,D,E,F\r\n");
  mkdir((folder / "sub").c_str(), 0700);
  TransformSelections selections;
  selections.input_path = GetParam().input[0] == '\0' ? "" : folder / GetParam().input;
  selections.radio_type = GetParam().radio_type;

  const std::optional<std::string_view> refusal = TransformRefusal(selections);

  EXPECT_EQ(refusal ? std::optional<std::string>(*refusal) : std::nullopt, GetParam().refusal);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TransformRefusalTest,
    ::testing::Values(
        RefusalCase{"Converts", "UserDb.bin", kMd2017, std::nullopt},
        RefusalCase{"EmptyPath", "", kMd9600, "File not exists or blocked"},
        RefusalCase{"MissingFile", "Missing.bin", kMd9600, "File not exists or blocked"},
        RefusalCase{"Folder", "sub", kMd9600, "File not exists or blocked"},
        RefusalCase{"NoRadioType", "UserDb.bin", std::nullopt, "Select your radio type please"},
        RefusalCase{"BothWrong", "Missing.bin", std::nullopt, "File not exists or blocked"}),
    [](const auto& case_info) { return std::string(case_info.param.name); });

TEST(OptionIndexTest, RadioTypesOfTheTwoItemsOnly) {
  EXPECT_EQ(RadioTypeOfIndex(0), kMd9600);
  EXPECT_EQ(RadioTypeOfIndex(1), kMd2017);
  for (const int index : {-1, -7, 2, 5}) EXPECT_EQ(RadioTypeOfIndex(index), std::nullopt) << index;
}

TEST(OptionIndexTest, EveryDisplayFormatButFieldPerLineIsCompact) {
  EXPECT_EQ(DisplayFormatOfIndex(0), kFieldPerLine);
  for (const int index : {1, -1, 2, 7}) EXPECT_EQ(DisplayFormatOfIndex(index), kCompact) << index;
  EXPECT_STREQ(DisplayFormatCaption(static_cast<DisplayFormat>(7)), "compact it");
}

TEST(TransformRequestTest, CarriesTheSelectionsAndTheCaptionsOfTheirItems) {
  struct Case {
    RadioType radio_type;
    DisplayFormat display_format;
    const char* radio_type_caption;
    const char* display_format_caption;
  };
  const Case cases[] = {
      {kMd9600, kCompact, "MD-9600/RT90", "compact it"},
      {kMd2017, kFieldPerLine, "MD-2017/RT82", "field per line"},
      {kMd2017, kCompact, "MD-2017/RT82", "compact it"},
  };
  for (const Case& c : cases) {
    const ConversionRequest request =
        TransformRequest({"data/UserDb.bin", c.radio_type, c.display_format});
    EXPECT_EQ(request.input_path, "data/UserDb.bin");
    EXPECT_EQ(request.radio_type, c.radio_type);
    EXPECT_EQ(request.display_format, c.display_format);
    EXPECT_EQ(request.radio_type_caption, c.radio_type_caption);
    EXPECT_EQ(request.display_format_caption, c.display_format_caption);
  }
}

TEST(TransformRequestTest, NeedsARadioType) {
  EXPECT_THROW(TransformRequest({"UserDb.bin", std::nullopt, kCompact}), std::bad_optional_access);
}

TEST(CreateConversionListsTest, FillsTheRegionTableOnly) {
  const auto lists = CreateConversionLists();
  EXPECT_EQ(lists->RegionNames.Count(), 62);
  EXPECT_EQ(lists->RegionCodes.Count(), 62);
  EXPECT_EQ(lists->RegionNames.Get(36), "Germany");
  EXPECT_EQ(lists->RegionCodes.Get(36), "GER");
  EXPECT_EQ(lists->InputLines.Count(), 0);
  EXPECT_EQ(lists->FieldList.Count(), 0);
  EXPECT_EQ(lists->OutputLines.Count(), 0);
}

}  // namespace

}  // namespace userdb::conversion
