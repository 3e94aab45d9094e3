#include "crash/report/bug_report_file.h"

#include <errno.h>

#include <filesystem>
#include <utility>
#include <vector>

#include "crash/report/locked_report_file.h"
#include "crash/report/report_file_format.h"
#include "crash/report/report_file_update.h"
#include "platform/path.h"

namespace userdb::crash {

namespace {

ReportFileRules RulesFrom(const SettingsView& settings) {
  ReportFileRules rules;
  rules.duplicates.for_exceptions = settings.ReadBoolean("NoDupExcepts");
  rules.duplicates.exception_definition = settings.ReadInteger("DupExceptDef");
  rules.duplicates.for_freezes = settings.ReadBoolean("NoDupFreezes");
  rules.duplicates.freeze_definition = settings.ReadInteger("DupFreezeDef");
  rules.size_limit = settings.ReadInteger("BugRepFileSize");
  return rules;
}

// A name of fewer than three characters is never taken as a path from the root.
bool IsInProgramFolder(std::string_view file_name) {
  return file_name.size() < 3 || file_name.front() != '/';
}

bool RefusesAccess(int error_number) {
  return error_number == EACCES || error_number == EPERM || error_number == EROFS;
}

LockedReportFile OpenCreatingFolders(const std::string& path, std::chrono::milliseconds lock_wait) {
  std::error_code ignored;  // a folder that cannot be made shows when the file cannot be opened
  const std::string folder = platform::FolderPart(path);
  if (!folder.empty()) std::filesystem::create_directories(folder, ignored);
  return LockedReportFile::Open(path, lock_wait);
}

bool WriteInto(LockedReportFile& file, std::string_view report, const SettingsView& settings) {
  if (!settings.ReadBoolean("AppendBugReps")) {
    return file.Replace({}, std::string(report) + std::string(kReportSeparator));
  }
  const auto contents = file.Contents();
  if (!contents) return false;
  const ReportFileUpdate update = PlanReportFileUpdate(*contents, report, RulesFrom(settings));
  if (update.keeps_contents) return file.Append(update.appended);
  return file.Replace(update.remaining, update.appended);
}

}  // namespace

BugReportFileWriter::BugReportFileWriter(ReportFolders folders, std::chrono::milliseconds lock_wait)
    : folders_(std::move(folders)), lock_wait_(lock_wait) {}

std::vector<std::string> BugReportFileWriter::Paths(const std::optional<std::string>& file_name,
                                                    const SettingsView& settings,
                                                    ReportSaveDialog* owner, bool automatic) const {
  if (file_name) return {*file_name};
  const std::string name = settings.ReadText("BugRepFile");
  if (!automatic) {
    if (owner == nullptr) return {};
    const auto chosen =
        owner->ChooseFile(std::string_view(name).substr(platform::FolderPart(name).size()));
    if (!chosen) return {};
    return {*chosen};
  }
  return AutomaticPaths(settings);
}

std::vector<std::string> BugReportFileWriter::AutomaticPaths(const SettingsView& settings) const {
  const std::string name = settings.ReadText("BugRepFile");
  if (!IsInProgramFolder(name)) return {name};
  std::vector<std::string> paths;
  if (!folders_.program.empty()) paths.push_back(folders_.program + name);
  paths.push_back(folders_.user_state + name);
  return paths;
}

bool BugReportFileWriter::Write(const std::optional<std::string>& file_name,
                                std::string_view report, ReportSaveDialog* owner,
                                CaughtException& exception, bool automatic,
                                std::string* saved_path) const {
  const SettingsView& settings = exception.Settings();
  for (const std::string& path : Paths(file_name, settings, owner, automatic)) {
    LockedReportFile file = OpenCreatingFolders(path, lock_wait_);
    if (!file.IsOpen()) {
      if (RefusesAccess(file.OpenError())) continue;
      return false;
    }
    const bool saved = WriteInto(file, report, settings);
    if (saved && !file_name) exception.MarkReportSaved();
    if (saved && saved_path != nullptr) *saved_path = path;
    return saved;
  }
  return false;
}

}  // namespace userdb::crash
