// The ProgressBox's window: a topmost tool window with a title but without close button,
// which ignores the user's close requests; its picture, the current area's text and a bar
// from 0 to 1000. Shown with activation it stands in the middle of the screen, without at
// the bottom right corner of the work area.
#pragma once

#include <QDialog>

#include "crash/box/progress_areas.h"
#include "crash/helper/box_fonts.h"
#include "crash/helper/box_request.h"

class QLabel;
class QProgressBar;

namespace userdb::crash {

class ProgressWindow : public QDialog {
  Q_OBJECT

 public:
  explicit ProgressWindow(const BoxFonts& fonts);

  // Takes the request's title, areas and position; places and shows the window the first
  // time.
  void Apply(const ProgressRequest& request);
  int BarPosition() const;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void reject() override {}

 private:
  void Place(bool activate);

  ProgressAreas areas_;
  QLabel* picture_ = nullptr;
  QLabel* text_ = nullptr;
  QProgressBar* bar_ = nullptr;
  bool placed_ = false;
};

}  // namespace userdb::crash
