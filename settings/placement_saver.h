// Keeps the main window's placement (its normal rectangle and whether it is maximized)
// in the current user's registry, section "FormPosAndSize" below "Software\ZID".
#pragma once

#include "platform/message_box.h"
#include "platform/registry/registry_store.h"
#include "settings/placement_window.h"
#include "settings/section_values.h"

namespace userdb::settings {

class PlacementSaver {
 public:
  // The saver is used by the window it keeps: both are expected to live equally long.
  PlacementSaver(registry::RegistryStore& store, PlacementWindow& window,
                 platform::MessageBox& error_box);

  // Before the window's creation: once a placement has been saved, the window keeps its
  // designed position until RestorePlacement applies the stored one.
  void PrepareInitialPosition();

  // When the window is shown: applies the stored rectangle, each missing value taken from
  // where the window is now; a rectangle whose top-left corner lies on no monitor is moved
  // to (0, 0) keeping its size; then maximizes the window when it was maximized. Registry
  // errors are not caught.
  void RestorePlacement();

  // When the window is closed: stores whether it is maximized and its normal rectangle.
  // A registry error is shown in an error box titled "Fehler" and ends the saving.
  void SavePlacement();

 private:
  SectionValues values_;
  PlacementWindow& window_;
  platform::MessageBox& error_box_;
};

}  // namespace userdb::settings
