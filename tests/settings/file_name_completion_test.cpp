#include "settings/file_name_completion.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "platform/case_insensitive_1252.h"
#include "tests/support/case_name.h"

namespace userdb::settings {

namespace {

// Extensions this test's system knows, in any letter case.
bool Known(std::string_view extension) {
  return platform::EqualIgnoringCase1252(extension, "txt") ||
         platform::EqualIgnoringCase1252(extension, "csv");
}

struct CompletionCase {
  const char* typed;
  const char* type_pattern;
  const char* default_extension;
  const char* completed;
};

void PrintTo(const CompletionCase& c, std::ostream* out) {
  *out << '"' << c.typed << "\" with \"" << c.type_pattern << "\", \"" << c.default_extension
       << '"';
}

class CompleteTypedFileNameTest : public ::testing::TestWithParam<CompletionCase> {};

TEST_P(CompleteTypedFileNameTest, AddsTheTypesExtensionWhereNeeded) {
  const CompletionCase& c = GetParam();
  EXPECT_EQ(CompleteTypedFileName(c.typed, c.type_pattern, c.default_extension, Known),
            c.completed);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CompleteTypedFileNameTest,
    ::testing::Values(CompletionCase{"/data/UserDb", "*.Bin", "*.bin", "/data/UserDb.Bin"},
                      CompletionCase{"/data/UserDb", "*.Csv", "*.bin", "/data/UserDb.Csv"},
                      CompletionCase{"/data/UserDb.", "*.Bin", "*.bin", "/data/UserDb.Bin"},
                      CompletionCase{"/data/UserDb.bin", "*.Bin", "*.bin", "/data/UserDb.bin"},
                      CompletionCase{"/data/USERDB.BIN", "*.Bin", "*.bin", "/data/USERDB.BIN"},
                      CompletionCase{"/data/list.TXT", "*.Bin", "*.bin", "/data/list.TXT"},
                      CompletionCase{"/data/list.txt", "*.Bin", "*.bin", "/data/list.txt"},
                      CompletionCase{"/data/db.xyz", "*.Bin", "*.bin", "/data/db.xyz.Bin"},
                      CompletionCase{"/data/db.bin", "*.Csv", "*.bin", "/data/db.bin.Csv"},
                      // A dot in a folder's name is not the file's extension.
                      CompletionCase{"/data.txt/UserDb", "*.Bin", "*.bin", "/data.txt/UserDb.Bin"},
                      CompletionCase{"/data/UserDbBin", "*.Bin", "*.bin", "/data/UserDbBin.Bin"},
                      // Without a selected type the default extension is added.
                      CompletionCase{"/data/UserDb", "", "*.bin", "/data/UserDb.bin"},
                      CompletionCase{"/data/UserDb", "", ".dat", "/data/UserDb.dat"},
                      // Without a default extension nothing is completed.
                      CompletionCase{"/data/UserDb", "*.Bin", "", "/data/UserDb"},
                      // A type that matches any extension gives none to add.
                      CompletionCase{"/data/UserDb", "*.*", "*.bin", "/data/UserDb"}),
    [](const auto& case_info) {
      return test_support::CaseName(
          std::string(case_info.param.typed) + " " + case_info.param.type_pattern, case_info.index);
    });

}  // namespace

}  // namespace userdb::settings
