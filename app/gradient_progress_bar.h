// The window's progress bar: a gradient filled to the percentage of a run's progress,
// without border or text. Conversions run on the user interface thread without giving the
// event loop a turn, so the bar repaints itself at once whenever its percentage changes,
// and only then.
#pragma once

#include <QWidget>
#include <cstdint>

#include "conversion/progress_percentage.h"

namespace userdb::app {

class GradientProgressBar : public QWidget {
 public:
  explicit GradientProgressBar(QWidget* parent);

  void SetTotalParts(int32_t total_parts);
  void SetPartsComplete(int32_t parts_complete);

  int32_t TotalParts() const { return progress_.TotalParts(); }
  int32_t PartsComplete() const { return progress_.PartsComplete(); }
  int16_t Percentage() const { return progress_.Percentage(); }

  // How many pixels from the left the gradient fills: the percentage of the width,
  // rounded; nothing below 0 %, everything from 100 %.
  int FilledWidth() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void ShowChange(bool percentage_changed);

  conversion::ProgressPercentage progress_;
};

}  // namespace userdb::app
