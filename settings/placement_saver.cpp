#include "settings/placement_saver.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#include "platform/registry/registry_errors.h"

namespace userdb::settings {

namespace {

// Stored values may be anything: sums and differences of them are taken in 64 bits and
// brought back into the range of a coordinate.
int Clamped(int64_t value) {
  return static_cast<int>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                              std::numeric_limits<int32_t>::max()));
}

}  // namespace

PlacementSaver::PlacementSaver(registry::RegistryStore& store, PlacementWindow& window,
                               platform::MessageBox& error_box)
    : values_(store, "Software\\ZID", "FormPosAndSize"), window_(window), error_box_(error_box) {}

void PlacementSaver::PrepareInitialPosition() {
  if (values_.ReadFlag("Saved")) window_.UseDesignedPosition();
}

void PlacementSaver::RestorePlacement() {
  const WindowRectangle now = window_.Bounds();
  const int left = values_.ReadInteger("Left", now.left);
  const int top = values_.ReadInteger("Top", now.top);
  const int right =
      values_.ReadInteger("Right", Clamped(int64_t{left} + now.right - int64_t{now.left}));
  const int bottom =
      values_.ReadInteger("Bottom", Clamped(int64_t{top} + now.bottom - int64_t{now.top}));
  // Read before anything is applied, so that a value that cannot be read leaves the
  // window as designed.
  const bool maximized = values_.ReadFlag("Maximized");
  WindowRectangle normal{left, top, right, bottom};
  if (!window_.IsOnAnyMonitor(left, top)) {
    normal = {0, 0, Clamped(int64_t{right} - left), Clamped(int64_t{bottom} - top)};
  }
  window_.SetNormalRectangle(normal);
  if (maximized) window_.Maximize();
}

void PlacementSaver::SavePlacement() {
  const WindowRectangle normal = window_.NormalRectangle();
  try {
    values_.WriteString("Maximized", window_.IsMaximized() ? "1" : "0");
    values_.WriteInteger("Left", normal.left);
    values_.WriteInteger("Top", normal.top);
    values_.WriteInteger("Right", normal.right);
    values_.WriteInteger("Bottom", normal.bottom);
    values_.WriteString("Saved", "1");
  } catch (const registry::RegistryError& error) {
    error_box_.Show("Fehler", error.Message(), platform::MessageKind::kError);
  }
}

}  // namespace userdb::settings
