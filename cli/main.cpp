// userdb2csv: the conversion on the command line, run exactly as the window runs it.
#include <unistd.h>

#include <cstdio>
#include <exception>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/command_line.h"
#include "cli/log_form.h"
#include "cli/terminal_progress.h"
#include "cli/usage_error.h"
#include "conversion/radioid_csv.h"
#include "conversion/transform_command.h"
#include "crash/crash_reporter.h"
#include "platform/display_text.h"
#include "platform/version_record.h"

namespace userdb::cli {

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

// The file version of the program's version record, as the window's version label shows it.
void PrintVersion() {
  std::puts(platform::FileVersionText(reinterpret_cast<const void*>(&PrintVersion)).c_str());
}

void PrintError(std::string_view message) {
  std::fflush(stdout);  // the log so far comes before the error
  std::fprintf(stderr, "%s\n", platform::DisplayUtf8(message).c_str());
}

void PrintLogLine(std::string_view line) {
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
}

// The progress line, hidden by the crash reporter while it writes a report to the terminal,
// for as long as it lives.
class ProgressLineLease {
 public:
  ProgressLineLease(crash::CrashReporter& crash_reporter, TerminalProgress& progress)
      : crash_reporter_(crash_reporter) {
    crash_reporter_.SetOpenConsoleLine(
        {[&progress] { progress.Hide(); }, [&progress] { progress.Release(); }});
  }
  ~ProgressLineLease() { crash_reporter_.SetOpenConsoleLine({}); }
  ProgressLineLease(const ProgressLineLease&) = delete;
  ProgressLineLease& operator=(const ProgressLineLease&) = delete;

 private:
  crash::CrashReporter& crash_reporter_;
};

int Convert(const CommandLine& command_line, crash::CrashReporter& crash_reporter) {
  // The window's refusals, before anything is read or written.
  if (const std::optional<std::string_view> refusal = TransformRefusal(command_line.selections)) {
    PrintError(*refusal);
    return kExitUsage;
  }
  const auto lists = conversion::CreateConversionLists();
  const LogForm log_form =
      ChooseLogForm(command_line.raw_log, isatty(STDOUT_FILENO) == 1, CharacterSetLocale());

  TerminalProgress progress(stderr);
  const ProgressLineLease lease(crash_reporter, progress);
  conversion::ConversionSinks sinks;
  sinks.log = [&progress, log_form](std::string_view line) {
    progress.Wipe();
    if (log_form == LogForm::kDisplay) {
      PrintLogLine(platform::DisplayUtf8(line));
    } else {
      PrintLogLine(line);
    }
  };
  sinks.set_total_parts = [&progress](int32_t total) { progress.SetTotalParts(total); };
  sinks.set_parts_complete = [&progress](int32_t parts) { progress.SetPartsComplete(parts); };
  try {
    ConversionRun(TransformRequest(command_line.selections), *lists, sinks);
  } catch (const conversion::MissingColumnError& error) {
    // An input of the wrong kind, refused before anything was logged or written.
    progress.Wipe();
    PrintError(error.Message());
    return kExitUsage;
  } catch (...) {
    progress.Wipe();
    throw;
  }
  if (std::fflush(stdout) != 0) {
    PrintError("The log could not be written to standard output");
    return kExitFailure;
  }
  return 0;
}

}  // namespace

int RunUserdb2csv(int argc, char** argv, crash::CrashReporter& crash_reporter) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  try {
    const CommandLine command_line = ParseCommandLine(arguments);
    switch (command_line.action) {
      case CommandLine::Action::kHelp:
        std::fputs(kUsageText, stdout);
        return 0;
      case CommandLine::Action::kVersion:
        PrintVersion();
        return 0;
      case CommandLine::Action::kConvert:
        return Convert(command_line, crash_reporter);
    }
  } catch (const UsageError& error) {
    PrintError("userdb2csv: " + error.Message());
    std::fputs("Try 'userdb2csv --help' for more information.\n", stderr);
    return kExitUsage;
  } catch (const std::exception& error) {
    PrintError(error.what());
    return kExitFailure;
  }
  return kExitFailure;
}

}  // namespace userdb::cli

int main(int argc, char** argv) {
  userdb::crash::CrashReporter crash_reporter(userdb::crash::ProgramForm::kConsole);
  return crash_reporter.RunMain(
      [&] { return userdb::cli::RunUserdb2csv(argc, argv, crash_reporter); });
}
