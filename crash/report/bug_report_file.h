// Saving bug reports into a bug report file ("bugreport.txt" in the program's folder by
// default): each report is appended, after an earlier report of the same exception is cut
// out (the new one counts how often it occurred) and, when the file has grown beyond its
// size limit, its oldest reports are dropped.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "crash/report/caught_exception.h"
#include "crash/report/report_folders.h"

namespace userdb::crash {

// The save dialog of the window that saves a report.
class ReportSaveDialog {
 public:
  virtual ~ReportSaveDialog() = default;
  // The file the user picks, with `file_name` suggested; none when the user cancels or no
  // dialog can be shown.
  virtual std::optional<std::string> ChooseFile(std::string_view file_name) = 0;
};

// How long a writer waits for another instance of the program that is writing the file.
inline constexpr std::chrono::milliseconds kReportFileLockWait(5000);

class BugReportFileWriter {
 public:
  explicit BugReportFileWriter(ReportFolders folders,
                               std::chrono::milliseconds lock_wait = kReportFileLockWait);

  // Saves `report` with the settings of `exception` ("BugRepFile", "AppendBugReps",
  // "BugRepFileSize", "NoDupExcepts", "DupExceptDef", "NoDupFreezes", "DupFreezeDef") and
  // tells whether it was saved; a failure shows nothing. The file is `file_name` when given;
  // otherwise "BugRepFile": with `automatic`, a name that does not start with "/" lies in
  // the program's folder (see ReportFolders); without, the user picks the file in the save
  // dialog of `owner` (with none, nothing is saved). Missing folders are created. When no
  // file name was given, a saved report is marked saved in `exception`. The file it went to
  // is put in `saved_path` when given.
  bool Write(const std::optional<std::string>& file_name, std::string_view report,
             ReportSaveDialog* owner, CaughtException& exception, bool automatic,
             std::string* saved_path = nullptr) const;

  // The files that the automatic save writes, in the order it tries them: "BugRepFile"
  // itself when it starts with "/", otherwise that name in the program's folder and then
  // in the user's state folder.
  std::vector<std::string> AutomaticPaths(const SettingsView& settings) const;

 private:
  // The file to write, with the one to try when the first refuses access.
  std::vector<std::string> Paths(const std::optional<std::string>& file_name,
                                 const SettingsView& settings, ReportSaveDialog* owner,
                                 bool automatic) const;

  ReportFolders folders_;
  std::chrono::milliseconds lock_wait_;
};

}  // namespace userdb::crash
