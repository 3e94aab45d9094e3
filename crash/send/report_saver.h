// Saving a bug report where the user chooses, after the save assistant ended with
// continue: a save dialog titled "SaveBtnTxt" opens in the user's desktop folder with the
// file name of "BugRepFile" filled in, and the report is appended to the chosen file with
// the rules of the bug report file. (A blocked process saves nothing and beeps: the
// exception box checks that before it calls.)
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "crash/report/bug_report_file.h"
#include "crash/report/caught_exception.h"

namespace userdb::crash {

struct SaveDialogRequest {
  std::string title;             // "SaveBtnTxt"
  std::string start_folder;      // ends with "/"
  std::string file_name;         // the file name part of "BugRepFile"
  std::string filter = "*.txt";  // both the filter's description and its pattern
  // The report is appended, never overwrites: the dialog asks no overwrite question. It
  // refuses read-only files and shows no read-only check box.
};

// The save dialog of the crash helper.
class SaveFileDialog {
 public:
  virtual ~SaveFileDialog() = default;
  // The chosen path; none when the user cancels or no dialog can be shown.
  virtual std::optional<std::string> Ask(const SaveDialogRequest& request) = 0;
};

// Asks for the file in `dialog`, starting in `start_folder` (see platform::DesktopFolder),
// and appends `report` to it with the settings of `exception`. A chosen name without an
// extension gets ".txt". Tells whether the report was saved; a saved report is marked saved
// in `exception`. A cancel or a failed write saves nothing and shows nothing.
bool SaveReportWithDialog(std::string_view report, SaveFileDialog& dialog,
                          const std::string& start_folder, CaughtException& exception,
                          const BugReportFileWriter& report_file);

}  // namespace userdb::crash
