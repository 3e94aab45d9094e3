// What the exception box's forms share: a topmost dialog that turns Escape, the title bar's
// close button and Alt+F4 into a close request, moves between its buttons with Tab and the
// arrow keys, copies with Ctrl+C, and tells the command the user chose.
#pragma once

#include <QDialog>
#include <QList>
#include <QPushButton>
#include <string>

#include "crash/box/box_buttons.h"
#include "crash/box/box_commands.h"
#include "crash/helper/box_request.h"

namespace userdb::crash {

class BoxWindow : public QDialog {
  Q_OBJECT

 public:
  BoxWindow(const BoxRequest& request, BoxForm form, BoxButtons buttons, bool report_shown);

  // The report as it is now: what Ctrl+C copies while it is shown.
  virtual void UpdateReport(const ReportContents& report) { report_text_ = report.text; }
  // Closes the window without a close request.
  void CloseForGood();
  // Whether the box stands above every other window; it does not while a window it owns
  // (an assistant's page) asks the user.
  void SetTopmost(bool topmost);
  // The window's title, text and buttons (caption, enabled, focused) and, while the report
  // is shown, its tabs: one line each, for the tests that drive the real window.
  virtual std::string Describe() const;

 signals:
  void CommandChosen(userdb::crash::BoxCommand command);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void reject() override {}

  // A click on a button of `kind`.
  virtual void Clicked(ButtonKind kind);
  void CloseRequest();
  void ConnectButton(QPushButton* button, ButtonKind kind);

  const BoxRequest request_;
  const BoxForm form_;
  const BoxButtons buttons_;
  const bool report_shown_;
  QString text_;
  QList<QPushButton*> button_widgets_;

 private:
  std::string report_text_;
  bool closing_for_good_ = false;
};

// Flags of a topmost dialog with a title bar and a close button.
Qt::WindowFlags TopmostDialogFlags(bool resizable);

}  // namespace userdb::crash
