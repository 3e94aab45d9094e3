// The full exception box: its message beside the big picture, the continue, restart and
// close buttons in a column at the right, send, save, print and show in a row at the bottom
// left, all laid out by the box's pixel rules; and, once the report is shown, the box wider
// and resizable with the report viewer below the buttons.
#pragma once

#include <QElapsedTimer>
#include <QTimer>
#include <chrono>
#include <optional>

#include "crash/box/box_layout.h"
#include "crash/helper/box_fonts.h"
#include "crash/helper/box_window.h"

class QLabel;

namespace userdb::crash {

class FlatButton;
class ReportViewer;

class ExceptionBoxWindow : public BoxWindow {
  Q_OBJECT

 public:
  // `automatic_buttons`: whether an automatic button may count down (not after show report).
  ExceptionBoxWindow(const BoxRequest& request, bool report_shown, bool automatic_buttons,
                     const BoxFonts& fonts);

  void UpdateReport(const ReportContents& report) override;
  std::string Describe() const override;
  ReportViewer* Viewer() const { return viewer_; }

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void Clicked(ButtonKind kind) override;

 private:
  void Place(const FullBoxLayout& layout);
  void StartCountdown(FlatButton* button);
  void StopCountdown();

  FullBoxLayout layout_;
  QLabel* message_ = nullptr;
  QLabel* picture_ = nullptr;
  ReportViewer* viewer_ = nullptr;
  std::vector<FlatButton*> flat_buttons_;
  std::optional<std::chrono::steady_clock::time_point> last_flash_;
  FlatButton* countdown_button_ = nullptr;
  QTimer countdown_timer_;
  QElapsedTimer countdown_clock_;
};

// The button's caption as drawn: "&&" as "&", a mnemonic's "&" left out.
QString CaptionWithoutMnemonic(const QString& caption);

}  // namespace userdb::crash
