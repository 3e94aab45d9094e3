#include "cli/command_line.h"

#include <optional>
#include <string_view>

#include "cli/usage_error.h"

namespace userdb::cli {

const char kUsageText[] =
    "Usage: userdb2csv --radio md9600|md2017 [--format field-per-line|compact]\n"
    "                  [--text keep|cp1252|ascii] [--unique-ids] [--sort-by-id] [--raw]\n"
    "                  INPUT [MORE_INPUT...]\n"
    "\n"
    "Converts a user database into contacts_users_<count>.csv in the folder of INPUT,\n"
    "printing the conversion log. INPUT is a UserDb.bin (DMR ID, callsign, name, city,\n"
    "state, nickname, country per line) or a radioid.net CSV export (user.csv), told\n"
    "apart by its first line. Each MORE_INPUT, of either form, is read after it: its\n"
    "entries replace those of the same DMR ID read before.\n"
    "\n"
    "  --radio md9600|0    contacts for the MD-9600/RT90\n"
    "  --radio md2017|1    contacts for the MD-2017/RT82\n"
    "  --format field-per-line|0\n"
    "                      MD-2017/RT82 display: name, city and state one per line\n"
    "  --format compact|1  MD-2017/RT82 display: fields separated by \"|\" (default)\n"
    "  --text keep         write the text's bytes as they are (default for a UserDb.bin)\n"
    "  --text cp1252       read UTF-8 and write Windows-1252, other letters in Latin\n"
    "                      (default for a CSV export)\n"
    "  --text ascii        write 7-bit ASCII only, for radios without accented letters\n"
    "  --unique-ids        one entry per DMR ID, the last one given, also within a file\n"
    "  --sort-by-id        write the contacts in ascending DMR ID order\n"
    "  --raw               print the log's bytes as they are\n"
    "  --help              show this text\n"
    "  --version           show the program's version\n"
    "\n"
    "When standard output is a terminal or the locale is UTF-8, the log is printed as\n"
    "UTF-8 unless --raw is given: valid UTF-8 (such as paths) as it is, every other byte\n"
    "read as Windows-1252, the data's code page. The contacts file holds the data's bytes\n"
    "as --text makes them.\n";

namespace {

template <typename Value>
struct Choice {
  std::string_view word;
  std::string_view digit;
  Value value;
};

constexpr Choice<conversion::RadioType> kRadioChoices[] = {{"md9600", "0", conversion::kMd9600},
                                                           {"md2017", "1", conversion::kMd2017}};
constexpr Choice<conversion::DisplayFormat> kFormatChoices[] = {
    {"field-per-line", "0", conversion::kFieldPerLine}, {"compact", "1", conversion::kCompact}};
constexpr Choice<conversion::TextChoice> kTextChoices[] = {
    {"keep", "", conversion::TextChoice::kKeep},
    {"cp1252", "", conversion::TextChoice::kCp1252},
    {"ascii", "", conversion::TextChoice::kAscii}};

template <typename Value, size_t N>
Value ParseChoice(std::string_view option, std::string_view value,
                  const Choice<Value> (&choices)[N]) {
  for (const Choice<Value>& choice : choices) {
    if (value == choice.word || (!choice.digit.empty() && value == choice.digit)) {
      return choice.value;
    }
  }
  std::string allowed;
  for (const Choice<Value>& choice : choices) {
    allowed += (allowed.empty() ? "" : ", ") + std::string(choice.word);
    if (!choice.digit.empty()) allowed += " or " + std::string(choice.digit);
  }
  throw UsageError("invalid value \"" + std::string(value) + "\" for " + std::string(option) +
                   " (expected " + allowed + ")");
}

// Splits "--name=value"; for "--name" takes the next argument as the value.
std::string_view TakeValue(const std::vector<std::string>& arguments, size_t& index,
                           std::string_view option, std::optional<std::string_view> inline_value) {
  if (inline_value) return *inline_value;
  if (index + 1 >= arguments.size()) {
    throw UsageError(std::string(option) + " needs a value");
  }
  return arguments[++index];
}

// An option that takes no value: true, or a usage error for "--name=value".
bool TakeSwitch(std::string_view option, std::optional<std::string_view> inline_value) {
  if (inline_value) throw UsageError(std::string(option) + " takes no value");
  return true;
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
  CommandLine command_line;
  bool options_ended = false;
  std::vector<std::string> inputs;
  for (size_t index = 0; index < arguments.size(); ++index) {
    const std::string_view argument = arguments[index];
    if (options_ended || argument.size() < 2 || argument[0] != '-') {
      inputs.emplace_back(argument);
      continue;
    }
    const size_t equals = argument.find('=');
    const std::string_view option = argument.substr(0, equals);
    const std::optional<std::string_view> inline_value =
        equals == std::string_view::npos ? std::nullopt
                                         : std::optional(argument.substr(equals + 1));
    if (option == "--") {
      options_ended = true;
    } else if (option == "--help" || option == "-h") {
      command_line.action = CommandLine::Action::kHelp;
      return command_line;
    } else if (option == "--version") {
      command_line.action = CommandLine::Action::kVersion;
      return command_line;
    } else if (option == "--radio") {
      command_line.selections.radio_type =
          ParseChoice(option, TakeValue(arguments, index, option, inline_value), kRadioChoices);
    } else if (option == "--format") {
      command_line.selections.display_format =
          ParseChoice(option, TakeValue(arguments, index, option, inline_value), kFormatChoices);
    } else if (option == "--text") {
      command_line.selections.text_choice =
          ParseChoice(option, TakeValue(arguments, index, option, inline_value), kTextChoices);
    } else if (option == "--raw") {
      command_line.raw_log = TakeSwitch(option, inline_value);
    } else if (option == "--unique-ids") {
      command_line.selections.unique_ids = TakeSwitch(option, inline_value);
    } else if (option == "--sort-by-id") {
      command_line.selections.sort_by_id = TakeSwitch(option, inline_value);
    } else {
      throw UsageError("unknown option " + std::string(argument));
    }
  }
  if (inputs.empty()) throw UsageError("no INPUT file given");
  command_line.selections.input_path = inputs.front();
  command_line.selections.further_input_paths.assign(inputs.begin() + 1, inputs.end());
  return command_line;
}

}  // namespace userdb::cli
