#include "app/input_file_dialog.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMimeDatabase>

#include "platform/path.h"
#include "platform/qt/screen_text.h"
#include "settings/file_name_completion.h"

namespace userdb::app {

namespace {

const char kTitle[] = "Laden der USERDB.BIN";
const char kDefaultExtension[] = "*.bin";
// Description and pattern of each file type, in the order offered.
const QStringList kFileTypes = {"BIN (*.Bin)", "CSV (*.Csv)"};

// A file type known to the system is one the shared MIME database has a name pattern for.
bool IsKnownExtension(std::string_view extension) {
  const QMimeDatabase mime_types;
  return !mime_types.mimeTypesForFileName("name." + platform::ScreenText(extension)).isEmpty();
}

// "*.Bin" of the file type "BIN (*.Bin)", named by the dialog as it is or by its
// description alone.
std::string PatternOfFileType(const QString& selected) {
  for (const QString& file_type : kFileTypes) {
    const qsizetype open = file_type.lastIndexOf('(');
    if (selected == file_type || selected == file_type.left(open).trimmed()) {
      return file_type.mid(open + 1, file_type.lastIndexOf(')') - open - 1).toStdString();
    }
  }
  return {};
}

bool IsFolder(const std::string& path) {
  return !path.empty() && QFileInfo(platform::ScreenText(path)).isDir();
}

}  // namespace

bool InputFileDialog::Execute(QWidget* parent) {
  QFileDialog dialog(parent, kTitle);
  // Qt's own dialog behaves alike on every desktop; the file type list shows descriptions only.
  dialog.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::HideNameFilterDetails |
                    QFileDialog::DontConfirmOverwrite);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::AnyFile);  // any name, existing or not
  dialog.setNameFilters(kFileTypes);
  dialog.selectNameFilter(kFileTypes.front());
  dialog.setFilter(dialog.filter() | QDir::Hidden);

  if (IsFolder(initial_folder_)) {
    dialog.setDirectory(platform::ScreenText(initial_folder_));
  } else if (!file_name_.empty()) {
    dialog.setDirectory(platform::ScreenText(platform::FolderPart(file_name_)));
  } else {
    dialog.setDirectory(QDir::currentPath());
  }
  if (!file_name_.empty())
    dialog.selectFile(QFileInfo(platform::ScreenText(file_name_)).fileName());

  const bool confirmed = dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty();
  QDir::setCurrent(dialog.directory().absolutePath());
  if (!confirmed) {
    file_name_.clear();
    return false;
  }
  file_name_ = platform::PathBytes(dialog.selectedFiles().front());
  // A file picked from the list is taken as it is; a typed name may want its extension.
  if (!platform::FileExists(file_name_)) {
    file_name_ =
        settings::CompleteTypedFileName(file_name_, PatternOfFileType(dialog.selectedNameFilter()),
                                        kDefaultExtension, IsKnownExtension);
  }
  return true;
}

}  // namespace userdb::app
