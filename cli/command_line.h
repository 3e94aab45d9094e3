// The command line of userdb2csv.
#pragma once

#include <string>
#include <vector>

#include "conversion/transform_command.h"

namespace userdb::cli {

struct CommandLine {
  enum class Action { kConvert, kHelp, kVersion };
  Action action = Action::kConvert;
  // Without --radio no radio type is chosen, and the run refuses as the window does; the
  // display format is "compact it", the window's designed selection, unless --format says
  // otherwise.
  conversion::TransformSelections selections;
  bool raw_log = false;  // --raw: the log's bytes as they are
};

// Parses the arguments after the program name. Throws UsageError with a one-line
// explanation when they are not a valid command line.
CommandLine ParseCommandLine(const std::vector<std::string>& arguments);

// The usage text printed by --help.
extern const char kUsageText[];

}  // namespace userdb::cli
