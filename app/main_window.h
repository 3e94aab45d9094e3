// The program's one window: the input file with its browse button, the radio type and
// display format, "Transform", the progress bar and the log pane. It owns the
// conversion's lists for the program's life and keeps its own placement. A file dropped
// onto it from a file manager becomes the input file.
#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>
#include <memory>
#include <string>
#include <string_view>

#include "app/anchored_layout.h"
#include "app/input_file_dialog.h"
#include "app/message_box.h"
#include "app/notice_stream.h"
#include "app/unhandled_error_handler.h"
#include "app/window_placement.h"
#include "conversion/conversion_lists.h"
#include "conversion/transform_command.h"
#include "platform/registry/registry_store.h"
#include "settings/placement_saver.h"
#include "settings/selection_controls.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace userdb::app {

class GradientProgressBar;
class LogPane;
class OptionGroup;

class TfrmUserDb : public QWidget, private settings::SelectionControls {
 public:
  // `store`, `notices` and `error_handler` outlive the window. A failure while the window
  // is created goes to `error_handler`, and the window is made all the same. What the
  // program's layers write to `notices` (the store's notices, when the store writes
  // there) is shown in the log pane once the window is created, and then with each
  // Transform. `application_title` is the caption of the window's message boxes.
  TfrmUserDb(registry::RegistryStore& store, NoticeStream& notices,
             UnhandledErrorHandler& error_handler, QString application_title);
  ~TfrmUserDb() override;

 protected:
  void setVisible(bool visible) override;
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void CreateControls();
  void SetTabOrder();
  void FormCreate();
  void btnWeiterClick();
  void grpRadioTypeChanging(int new_index);
  void edtUserdbauswahlButtonClick();
  conversion::TransformSelections Selections() const;
  // Shows the notices that came since the last time, then `lines`, at the end of the log.
  void AppendToLog(const QStringList& lines);

  void SetInitialFolder(const std::string& folder) override;
  void SetPathText(const std::string& text) override;
  void SetRadioTypeSelection(int index) override;
  int RadioTypeSelection() const override;
  void SetDisplayFormatSelection(int index) override;
  void SetDisplayFormatEnabled(bool enabled) override;

  registry::RegistryStore& store_;
  NoticeStream& notices_;
  UnhandledErrorHandler& error_handler_;
  const QString application_title_;

  QLabel* lblUserdbauswahl;
  QLabel* lblVersion;
  QLineEdit* edtUserdbauswahl;
  OptionGroup* grpRadioType;
  OptionGroup* grpDataType;
  QPushButton* btnWeiter;
  QLabel* lblAction;
  GradientProgressBar* ProgressBar;
  LogPane* Memo;
  AnchoredLayout layout_;

  InputFileDialog OpenDialog;
  WindowPlacement placement_;
  WindowMessageBox message_box_;
  settings::PlacementSaver saver_;

  // Created by the creation handler; a run only replaces their contents.
  std::unique_ptr<conversion::ConversionLists> lists_;
};

}  // namespace userdb::app
