#include "conversion/progress_percentage.h"

#include <cmath>

namespace userdb::conversion {

bool ProgressPercentage::ChangePercentage(int16_t percentage) {
  const bool changed = percentage != percentage_;
  percentage_ = percentage;
  return changed;
}

bool ProgressPercentage::SetTotalParts(int32_t total_parts) {
  if (total_parts == total_parts_) return false;
  total_parts_ = total_parts;
  parts_complete_ = 0;
  return ChangePercentage(0);
}

bool ProgressPercentage::SetPartsComplete(int32_t parts_complete) {
  if (parts_complete == parts_complete_) return false;
  if (static_cast<uint32_t>(parts_complete) > static_cast<uint32_t>(total_parts_)) {
    parts_complete = total_parts_;
  }
  parts_complete_ = parts_complete;
  if (total_parts_ == 0) return false;
  // nearbyint rounds in the default mode, to nearest with halves to even; the value
  // then wraps into 16 bits as the signed percentage does.
  const double exact = static_cast<double>(parts_complete_) * 100.0 / total_parts_;
  const auto rounded = static_cast<int64_t>(std::nearbyint(exact));
  return ChangePercentage(static_cast<int16_t>(static_cast<uint16_t>(rounded & 0xFFFF)));
}

}  // namespace userdb::conversion
