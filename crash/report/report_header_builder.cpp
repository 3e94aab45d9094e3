#include "crash/report/report_header_builder.h"

#include <chrono>
#include <exception>
#include <functional>

#include <unistd.h>

#include "crash/config/module_version_text.h"
#include "crash/config/placeholder_expansion.h"
#include "crash/report/header_sources.h"
#include "crash/report/report_plugins.h"
#include "crash/report/value_formats.h"
#include "platform/module_section.h"

namespace userdb::crash {

namespace {

// A value that fails to come leaves its line out, nothing more.
std::string Safely(const std::function<std::string()>& value) {
  try {
    return value();
  } catch (const std::exception&) {
    return {};
  }
}

std::string ProgramUpTime(std::chrono::steady_clock::time_point start) {
  const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - start);
  if (elapsed < std::chrono::seconds(1)) return std::to_string(elapsed.count()) + " milliseconds";
  return FormatDuration(static_cast<uint64_t>(elapsed.count() / 1000));
}

std::string VersionText(const SettingsView& settings) {
  const SettingsOrigin& origin = settings.Origin();
  const int32_t version_var = settings.ReadInteger("VersionVar");
  if (version_var == 0) return origin.executable_file_version;
  return ModuleVersionText(origin.module, version_var, origin.module_file_version);
}

}  // namespace

void BuildReportHeader(CaughtException& exception) {
  BugReport& report = exception.Report();
  const ReportServices& services = *exception.Services();
  const SettingsOverlay& settings = exception.Settings();
  const std::string separator = Safely(&UserDecimalSeparator);
  const std::string executable = Safely(&platform::ExecutablePath);
  const auto add = [&](std::string_view name, const std::function<std::string()>& value) {
    report.PutHeader(name, Safely(value));
  };

  add("date/time", [] { return FormatReportTime(CurrentLocalTime()); });
  add("computer name", &ComputerName);
  add("wts client name", &RemoteClientName);
  add("user name", &UserNameText);
  add("operating system", &OperatingSystemText);
  add("system language", &SystemLanguage);
  add("system up time", [] { return FormatDuration(SystemUpTimeSeconds()); });
  add("program up time", [&] { return ProgramUpTime(services.program_start); });
  const auto processors = ProcessorsEntry();
  if (!processors.first.empty()) add(processors.first, [&] { return processors.second; });
  add("physical memory", &PhysicalMemoryText);
  add("free disk space", [&] { return FreeDiskSpaceText(executable, separator); });
  add("display mode", &DisplayModeText);
  add("process id", [] { return DollarHex(static_cast<uint64_t>(getpid())); });
  add("allocated memory", [&] { return AllocatedMemoryText(separator); });
  add("command line", &CommandLineText);
  add("executable", [&] { return executable; });
  add("exec. date/time", [&] { return FileDateTimeText(executable); });
  add("version", [&] { return VersionText(settings); });
  add("compiled with", &CompilerText);
  add("Quorvex version", [] { return std::string(kQuorvexVersion); });
  for (const ReportPlugin& plugin : services.plugins->Selected(settings.ReadText("Plugins"))) {
    if (!plugin.own_section) add(plugin.name, plugin.procedure);
  }
  add("callstack crc", [] { return std::string(kHeaderPlaceholder); });
  const uint32_t number = services.headers_built->fetch_add(1) + 1;
  add("exception number", [&] { return std::to_string(number); });
  const ExceptionFacts& facts = exception.Facts();
  if (facts.kind == ExceptionKind::kFreeze) {
    add("exception message", [&] { return settings.ReadText("FrozenMsg"); });
  } else {
    add("exception class", [&] { return ExceptionClassText(facts.object); });
    add("exception message", [&] { return FormattedExceptionMessage(facts.object); });
  }
  // Entries added later (assistant fields, debug information lines) go just before the
  // checksums.
  const auto entries = report.HeaderEntries();
  for (size_t i = 0; i < entries.size(); ++i) {
    if (entries[i].name == "callstack crc") report.SetHeaderInsertionPoint(i);
  }
}

}  // namespace userdb::crash
