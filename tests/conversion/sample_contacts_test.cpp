// The bundled sample database through the Transform command's run, in every layout,
// compared byte for byte with the contacts files stored beside this test. The sample holds
// what real files hold: a header line, quoted fields, parentheses, Windows-1252 letters,
// short IDs, lines with too few fields.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "conversion/transform_command.h"
#include "tests/support/temp_folder.h"

namespace userdb::conversion {

namespace {

using test_support::ReadFile;
using test_support::TempFolder;
using test_support::WriteFile;

struct Layout {
  const char* name;
  RadioType radio_type;
  DisplayFormat display_format;
  const char* expected_file;
};

class SampleContactsTest : public ::testing::TestWithParam<Layout> {};

TEST_P(SampleContactsTest, AreTheStoredFileByteForByte) {
  TempFolder folder;
  const std::string input = folder / "UserDb.bin";
  WriteFile(input, ReadFile(SAMPLE_DATABASE));
  const auto lists = CreateConversionLists();
  std::vector<std::string> log;
  ConversionSinks sinks;
  sinks.log = [&log](std::string_view line) { log.emplace_back(line); };
  sinks.set_total_parts = [](int32_t) {};
  sinks.set_parts_complete = [](int32_t) {};

  ConversionRun(TransformRequest({input, GetParam().radio_type, GetParam().display_format}), *lists,
                sinks);

  EXPECT_THAT(log, ::testing::IsSupersetOf({"Lines found: 301", "Lines accepted : 293",
                                            "Lines ignored  : 4", "=====> Done <======"}));
  // Five accepted lines lack a field: the file holds 288 contacts.
  EXPECT_EQ(ReadFile(folder / "contacts_users_293.csv"),
            ReadFile(std::string(FIXTURES) + "/" + GetParam().expected_file));
}

INSTANTIATE_TEST_SUITE_P(Layouts, SampleContactsTest,
                         ::testing::Values(Layout{"Md9600", kMd9600, kCompact, "sample_md9600.csv"},
                                           Layout{"Md2017FieldPerLine", kMd2017, kFieldPerLine,
                                                  "sample_md2017_field_per_line.csv"},
                                           Layout{"Md2017Compact", kMd2017, kCompact,
                                                  "sample_md2017_compact.csv"}),
                         [](const auto& case_info) { return std::string(case_info.param.name); });

}  // namespace

}  // namespace userdb::conversion
