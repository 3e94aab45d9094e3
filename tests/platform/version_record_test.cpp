#include "platform/version_record.h"

#include <gnu/libc-version.h>
#include <stdio.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include "platform/module_section.h"
#include "tests/support/case_name.h"
#include "tests/support/temp_folder.h"

namespace userdb::platform {

namespace {

using test_support::TempFolder;

void FunctionOfThisProgram() {}

struct RecordCase {
  const char* bytes;
  const char* file_version;
  const char* original_filename;
};

class ParseVersionRecordTest : public ::testing::TestWithParam<RecordCase> {};

TEST_P(ParseVersionRecordTest, ReadsEachField) {
  const VersionRecord record = ParseVersionRecord(GetParam().bytes);
  EXPECT_EQ(record.file_version, GetParam().file_version);
  EXPECT_EQ(record.original_filename, GetParam().original_filename);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ParseVersionRecordTest,
    ::testing::Values(
        RecordCase{"FileVersion=1.0.1.16\nOriginalFilename=2018-01-11\n", "1.0.1.16", "2018-01-11"},
        RecordCase{"OriginalFilename=2018-01-11\r\nFileVersion=1.0.1.16", "1.0.1.16", "2018-01-11"},
        RecordCase{"FileVersion=1.0.1.16\n", "1.0.1.16", ""},
        RecordCase{"OriginalFilename=x=y\n", "", "x=y"},
        RecordCase{"FileVersion=2\nFileVersion=3\n", "2", ""},
        RecordCase{"fileversion=1\nFileVersionX=2\nFileVersion\n=3\n", "", ""},
        RecordCase{"", "", ""}),
    [](const auto& case_info) {
      return test_support::CaseName(case_info.param.bytes, case_info.index);
    });

TEST(VersionRecordOf, ReadsTheRecordBuiltIntoThisProgram) {
  const auto record = VersionRecordOf(reinterpret_cast<const void*>(&FunctionOfThisProgram));
  ASSERT_TRUE(record);
  EXPECT_EQ(record->file_version, "1.0.1.16");
  EXPECT_EQ(record->original_filename, "2018-01-11");
}

TEST(VersionRecordOf, AnswersNoneForAModuleWithoutRecord) {
  EXPECT_EQ(VersionRecordOf(reinterpret_cast<const void*>(&gnu_get_libc_version)), std::nullopt);
  int on_the_stack = 0;
  EXPECT_EQ(VersionRecordOf(&on_the_stack), std::nullopt);
}

// Runs a command and returns what it printed, with its exit status.
std::pair<std::string, int> RunCommand(const std::string& command) {
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return {"", -1};
  std::string output;
  char buffer[256];
  while (const size_t got = fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, got);
  const int status = pclose(pipe);
  return {output, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

TEST(BuiltProgram, PrintsTheFileVersionOfItsRecord) {
  EXPECT_EQ(RunCommand(std::string("'") + USERDB2CSV_PATH + "' --version"),
            std::make_pair(std::string("1.0.1.16\n"), 0));
}

TEST(BuiltProgram, WithoutRecordSaysTheValueIsNotAvailable) {
  TempFolder folder;
  const std::string copy = folder / "userdb2csv";
  ASSERT_EQ(RunCommand(std::string("'") + OBJCOPY_PATH + "' --remove-section VERSIONINFO '" +
                       USERDB2CSV_PATH + "' '" + copy + "'")
                .second,
            0);
  EXPECT_EQ(ReadElfSection(copy, "VERSIONINFO"), std::nullopt);
  EXPECT_EQ(RunCommand("'" + copy + "' --version"),
            std::make_pair(std::string("Value Not Available\n"), 0));
}

}  // namespace

}  // namespace userdb::platform
