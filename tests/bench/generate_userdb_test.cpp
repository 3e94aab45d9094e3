// generate_userdb, the benchmarks' database generator, as a user runs it: its usage text,
// the command lines it refuses, and reproducible databases.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/support/run_program.h"

namespace {

using userdb::test_support::ProgramResult;
using userdb::test_support::RunProgram;

userdb::test_support::ProgramResult GenerateUserdb(std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), GENERATE_USERDB_PATH);
  return userdb::test_support::RunProgram(arguments);
}

size_t LineCount(const std::string& text) {
  return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
}

TEST(GenerateUserdbTest, HelpPrintsTheUsage) {
  for (const char* option : {"--help", "-h"}) {
    const userdb::test_support::ProgramResult result = GenerateUserdb({option});
    EXPECT_EQ(result.exit_code, 0);
    EXPECT_EQ(result.out.rfind("Usage: generate_userdb LINES [SEED] [--defects] [--header]\n", 0),
              0u);
    EXPECT_NE(result.out.find("--defects"), std::string::npos);
    EXPECT_EQ(result.err, "");
  }
}

TEST(GenerateUserdbTest, RefusesWhatItCannotUnderstand) {
  struct Case {
    std::vector<std::string> arguments;
    std::string message;
  };
  const Case cases[] = {
      {{}, "LINES is missing"},
      {{"--defects"}, "LINES is missing"},
      {{"lots"}, "LINES must be a whole number, not \"lots\""},
      {{"-5"}, "LINES must be a whole number, not \"-5\""},
      {{"12x"}, "LINES must be a whole number, not \"12x\""},
      {{"99999999999999999999999"},
       "LINES must be a whole number, not \"99999999999999999999999\""},
      {{"10", "seed"}, "SEED must be a whole number, not \"seed\""},
      {{"10", "2", "3"}, "unexpected argument 3"},
      {{"10", "--colour"}, "unknown option --colour"},
  };
  for (const Case& c : cases) {
    const userdb::test_support::ProgramResult result = GenerateUserdb(c.arguments);
    EXPECT_EQ(result.exit_code, 2) << c.message;
    EXPECT_EQ(result.out, "") << c.message;
    EXPECT_EQ(result.err, "generate_userdb: " + c.message +
                              "\nTry 'generate_userdb --help' for more information.\n");
  }
}

TEST(GenerateUserdbTest, WritesTheLinesAskedForTheSameForTheSameSeed) {
  const userdb::test_support::ProgramResult plain = GenerateUserdb({"25", "7"});
  EXPECT_EQ(plain.exit_code, 0);
  EXPECT_EQ(LineCount(plain.out), 25u);
  EXPECT_EQ(GenerateUserdb({"25", "7"}).out, plain.out);
  EXPECT_NE(GenerateUserdb({"25", "8"}).out, plain.out);

  const userdb::test_support::ProgramResult with_header =
      GenerateUserdb({"3", "--header", "--defects"});
  EXPECT_EQ(with_header.exit_code, 0);
  EXPECT_EQ(LineCount(with_header.out), 4u);
  EXPECT_EQ(with_header.out.rfind("Radio ID,Callsign,Name,City,State,Nickname,Country\r\n", 0), 0u);
  EXPECT_EQ(GenerateUserdb({"0"}).out, "");
}

}  // namespace
