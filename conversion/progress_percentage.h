// What a run's progress reports mean on a progress display: the percentage shown for a
// total and a count of completed parts. The window's progress bar and the terminal's
// progress line both show this.
#pragma once

#include <cstdint>

namespace userdb::conversion {

class ProgressPercentage {
 public:
  // A new total resets the completed parts and the percentage to 0; the same total
  // again changes nothing. Returns whether the percentage changed.
  bool SetTotalParts(int32_t total_parts);
  // Stores the completed parts, cut to the total when larger (both taken as unsigned
  // 32-bit numbers), and, unless the total is 0, makes the percentage
  // parts * 100 / total rounded half to even, as a signed 16-bit value. Setting the same
  // value again changes nothing. Returns whether the percentage changed.
  bool SetPartsComplete(int32_t parts_complete);

  int32_t TotalParts() const { return total_parts_; }
  int32_t PartsComplete() const { return parts_complete_; }
  int16_t Percentage() const { return percentage_; }

 private:
  bool ChangePercentage(int16_t percentage);

  int32_t total_parts_ = 0;
  int32_t parts_complete_ = 0;
  int16_t percentage_ = 0;
};

}  // namespace userdb::conversion
