// userdb2csv: the conversion on the command line, run exactly as the window runs it.
#include <cstdio>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include "cli/command_line.h"
#include "cli/usage_error.h"
#include "conversion/captions.h"
#include "conversion/conversion_run.h"
#include "conversion/region_table.h"
#include "platform/display_text.h"

#ifndef USERDB_FILE_VERSION
#error "USERDB_FILE_VERSION must be defined by the build"
#endif

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

void PrintLogLine(std::string_view line) {
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
}

void PrintError(std::string_view message) {
  std::fflush(stdout);  // the log so far comes before the error
  std::fprintf(stderr, "userdb2csv: %s\n", DisplayUtf8(message).c_str());
}

int Convert(const CommandLine& command_line) {
  ConversionLists lists;
  FillRegionTable(lists.RegionNames, lists.RegionCodes);
  ConversionRequest request;
  request.input_path = command_line.input_path;
  request.radio_type = command_line.radio_type;
  request.display_format = command_line.display_format;
  request.radio_type_caption = kRadioTypeCaptions[command_line.radio_type];
  request.display_format_caption = kDisplayFormatCaptions[command_line.display_format];
  ConversionSinks sinks;
  sinks.log = PrintLogLine;
  sinks.set_total_parts = [](int32_t) {};
  sinks.set_parts_complete = [](int32_t) {};
  ConversionRun(request, lists, sinks);
  return std::fflush(stdout) == 0 ? 0 : kExitFailure;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  try {
    const CommandLine command_line = ParseCommandLine(arguments);
    switch (command_line.action) {
      case CommandLine::Action::kHelp:
        std::fputs(kUsageText, stdout);
        return 0;
      case CommandLine::Action::kVersion:
        std::puts(USERDB_FILE_VERSION);
        return 0;
      case CommandLine::Action::kConvert:
        return Convert(command_line);
    }
  } catch (const UsageError& error) {
    PrintError(error.Message());
    std::fputs("Try 'userdb2csv --help' for more information.\n", stderr);
    return kExitUsage;
  } catch (const std::exception& error) {
    PrintError(error.what());
    return kExitFailure;
  }
  return kExitFailure;
}
