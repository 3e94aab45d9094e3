#include "crash/capture/please_wait_progress.h"

#include <string>
#include <vector>

#include "crash/report/bug_report.h"

namespace userdb::crash {

namespace {

bool IsThreadSection(const ReportEntry& section) {
  return section.name.find('$') != std::string::npos;
}

bool StillComposed(const ReportEntry& section) {
  return section.value.find(kHeaderPlaceholder) != std::string::npos;
}

// The weight of a thread's area: the size of its stack in use, which its trace reads through
// (a thread whose stack is not known weighs as one of 4 KB).
uint64_t StackWeight(const BugReport& report, const std::string& title) {
  constexpr uint64_t kUnknownStackWeight = 4096;
  for (const ThreadStackEntry& thread : report.Threads()) {
    if (thread.title != title) continue;
    if (thread.stack_end > thread.stack_pointer) return thread.stack_end - thread.stack_pointer;
    break;
  }
  return kUnknownStackWeight;
}

}  // namespace

ProgressRequest PleaseWaitProgress(CaughtException& exception) {
  constexpr uint64_t kThreadWeight = 4096;
  const SettingsView& settings = exception.Settings();
  BugReport& report = exception.Report();
  const std::vector<ReportEntry> sections = report.SectionEntries();
  ProgressRequest progress;
  progress.title = settings.ReadText("PlWaitTitle");
  const std::string text = settings.ReadText("PlWaitText");
  for (const ReportEntry& section : sections) {
    if (!IsThreadSection(section)) continue;
    if (!StillComposed(section)) ++progress.current_area;
    progress.areas.push_back({text, StackWeight(report, section.name)});
  }
  if (progress.areas.empty()) progress.areas.push_back({text, kThreadWeight});
  return progress;
}

}  // namespace userdb::crash
