// The command line of userdb2csv, parsed.
#include "cli/command_line.h"

#include <gtest/gtest.h>

#include <optional>

#include "cli/usage_error.h"

namespace userdb::cli {

namespace {

TEST(ParseCommandLineTest, TakesWordsDigitsAndBothOptionForms) {
  struct Case {
    std::vector<std::string> arguments;
    std::optional<conversion::RadioType> radio_type;
    conversion::DisplayFormat display_format;
    bool raw_log = false;
  };
  const Case cases[] = {
      {{"--radio", "md9600", "in.bin"}, conversion::kMd9600, conversion::kCompact},
      {{"--radio", "1", "in.bin"}, conversion::kMd2017, conversion::kCompact},
      {{"--radio=md2017", "--format=field-per-line", "in.bin"},
       conversion::kMd2017,
       conversion::kFieldPerLine},
      {{"in.bin", "--format", "0", "--radio", "0"}, conversion::kMd9600, conversion::kFieldPerLine},
      {{"--format", "compact", "--radio", "md2017", "--raw", "in.bin"},
       conversion::kMd2017,
       conversion::kCompact,
       true},
      // the missing radio type is refused later, as the window does
      {{"in.bin"}, std::nullopt, conversion::kCompact},
  };
  for (const Case& c : cases) {
    const CommandLine parsed = ParseCommandLine(c.arguments);
    EXPECT_EQ(parsed.action, CommandLine::Action::kConvert);
    EXPECT_EQ(parsed.selections.radio_type, c.radio_type);
    EXPECT_EQ(parsed.selections.display_format, c.display_format);
    EXPECT_EQ(parsed.selections.input_path, "in.bin");
    EXPECT_EQ(parsed.raw_log, c.raw_log);
  }
}

TEST(ParseCommandLineTest, TakesSeveralInputsAndTheirChoices) {
  const CommandLine parsed =
      ParseCommandLine({"--radio", "1", "user.csv", "--text=ascii", "--unique-ids", "fixes.csv",
                        "--sort-by-id", "--", "--parrot.bin"});
  EXPECT_EQ(parsed.selections.input_path, "user.csv");
  EXPECT_EQ(parsed.selections.further_input_paths,
            (std::vector<std::string>{"fixes.csv", "--parrot.bin"}));
  EXPECT_EQ(parsed.selections.text_choice, conversion::TextChoice::kAscii);
  EXPECT_TRUE(parsed.selections.unique_ids);
  EXPECT_TRUE(parsed.selections.sort_by_id);

  const CommandLine plain = ParseCommandLine({"--radio", "1", "UserDb.bin"});
  EXPECT_TRUE(plain.selections.further_input_paths.empty());
  EXPECT_EQ(plain.selections.text_choice, std::nullopt);
  EXPECT_FALSE(plain.selections.unique_ids);
  EXPECT_FALSE(plain.selections.sort_by_id);
}

TEST(ParseCommandLineTest, DoubleDashEndsTheOptions) {
  EXPECT_EQ(ParseCommandLine({"--radio", "0", "--", "--odd name"}).selections.input_path,
            "--odd name");
  EXPECT_EQ(ParseCommandLine({"--radio", "0", "-"}).selections.input_path, "-");
}

TEST(ParseCommandLineTest, HelpAndVersionWin) {
  EXPECT_EQ(ParseCommandLine({"--help"}).action, CommandLine::Action::kHelp);
  EXPECT_EQ(ParseCommandLine({"--radio", "0", "-h"}).action, CommandLine::Action::kHelp);
  EXPECT_EQ(ParseCommandLine({"--version"}).action, CommandLine::Action::kVersion);
}

TEST(ParseCommandLineTest, RefusesWhatItCannotUnderstand) {
  struct Case {
    std::vector<std::string> arguments;
    std::string message;
  };
  const Case cases[] = {
      {{"--radio", "md9601", "in.bin"},
       "invalid value \"md9601\" for --radio (expected md9600 or 0, md2017 or 1)"},
      {{"--radio", "0", "--format", "2", "in.bin"},
       "invalid value \"2\" for --format (expected field-per-line or 0, compact or 1)"},
      {{"--radio"}, "--radio needs a value"},
      {{"--radio", "0"}, "no INPUT file given"},
      {{"--radio", "0", "--text", "utf8", "in.bin"},
       "invalid value \"utf8\" for --text (expected keep, cp1252, ascii)"},
      {{"--radio", "0", "--unique-ids=yes", "in.bin"}, "--unique-ids takes no value"},
      {{"--colour", "in.bin"}, "unknown option --colour"},
      {{"--radio", "0", "--raw=yes", "in.bin"}, "--raw takes no value"},
  };
  for (const Case& c : cases) {
    try {
      ParseCommandLine(c.arguments);
      ADD_FAILURE() << "accepted: " << c.message;
    } catch (const UsageError& error) {
      EXPECT_EQ(error.Message(), c.message);
    }
  }
}

}  // namespace

}  // namespace userdb::cli
