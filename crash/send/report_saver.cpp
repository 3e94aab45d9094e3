#include "crash/send/report_saver.h"

#include <utility>

#include "platform/path.h"

namespace userdb::crash {

namespace {

constexpr std::string_view kDefaultExtension = ".txt";

// The bug report file's own question for a file, answered through the crash helper's dialog.
class DialogForReportFile : public ReportSaveDialog {
 public:
  DialogForReportFile(SaveFileDialog& dialog, SaveDialogRequest request)
      : dialog_(dialog), request_(std::move(request)) {}

  std::optional<std::string> ChooseFile(std::string_view file_name) override {
    request_.file_name = std::string(file_name);
    std::optional<std::string> chosen = dialog_.Ask(request_);
    const std::string name = chosen ? platform::FileNamePart(*chosen) : std::string();
    if (!name.empty() && name.find('.') == std::string::npos) {
      *chosen += kDefaultExtension;
    }
    return chosen;
  }

 private:
  SaveFileDialog& dialog_;
  SaveDialogRequest request_;
};

}  // namespace

bool SaveReportWithDialog(std::string_view report, SaveFileDialog& dialog,
                          const std::string& start_folder, CaughtException& exception,
                          const BugReportFileWriter& report_file) {
  SaveDialogRequest request;
  request.title = exception.Settings().ReadText("SaveBtnTxt");
  request.start_folder = start_folder;
  DialogForReportFile asking(dialog, std::move(request));
  return report_file.Write(std::nullopt, report, &asking, exception, false);
}

}  // namespace userdb::crash
