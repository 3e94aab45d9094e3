// The remembered selections: the folder of the last converted file, the radio type and
// the display format, kept in the current user's registry below "Software\ZID".
#pragma once

#include <string_view>

#include "platform/registry/registry_store.h"
#include "settings/selection_controls.h"

namespace userdb::settings {

// Applies the stored selections to the controls, each missing or unusable one giving way
// to its fallback: no folder, no radio type, "compact it". The display format group is
// enabled exactly for the MD-2017/RT82. Creates the radio type and display format keys
// when missing. Throws RegistryDataTypeError when the stored folder is not a string; the
// controls after the initial folder are then left untouched.
void LoadSelections(registry::RegistryStore& store, SelectionControls& controls);

// Stores the folder part of `path_text` (up to its last "/", empty without one), the radio
// type and the display format. Throws RegistryDataWriteError when the registry refuses a
// write; the values after it are then not written.
void StoreSelections(registry::RegistryStore& store, std::string_view path_text, int radio_type,
                     int display_format);

}  // namespace userdb::settings
