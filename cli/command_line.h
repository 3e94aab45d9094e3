// The command line of userdb2csv.
#pragma once

#include <string>
#include <vector>

struct CommandLine {
  enum class Action { kConvert, kHelp, kVersion };
  Action action = Action::kConvert;
  int radio_type = -1;     // none given: the run refuses, as the window does
  int display_format = 1;  // compact, the window's designed selection
  std::string input_path;
};

// Parses the arguments after the program name. Throws UsageError with a one-line
// explanation when they are not a valid command line.
CommandLine ParseCommandLine(const std::vector<std::string>& arguments);

// The usage text printed by --help.
extern const char kUsageText[];
