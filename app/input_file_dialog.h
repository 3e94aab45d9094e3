// The dialog that chooses the user database: a modal open dialog with the types "BIN"
// (*.Bin) and "CSV" (*.Csv), matched in any letter case, that accepts any name, shows
// hidden files and completes a typed name with the selected type's extension.
#pragma once

#include <string>
#include <utility>

class QWidget;

namespace userdb::app {

class InputFileDialog {
 public:
  // Where the dialog opens from now on, whatever is chosen in it; empty for the folder of
  // the last confirmed file, or the current folder before any.
  void SetInitialFolder(std::string folder) { initial_folder_ = std::move(folder); }
  const std::string& InitialFolder() const { return initial_folder_; }

  // Runs the dialog over `parent` and tells whether the user confirmed a name; FileName()
  // then holds its full path. Either way the process's current folder becomes the folder
  // the dialog showed last.
  bool Execute(QWidget* parent);

  // The full path confirmed last; empty after a cancel. The dialog's name field starts
  // with its name.
  const std::string& FileName() const { return file_name_; }

 private:
  std::string initial_folder_;
  std::string file_name_;
};

}  // namespace userdb::app
