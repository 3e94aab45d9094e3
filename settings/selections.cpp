#include "settings/selections.h"

#include <algorithm>
#include <string>

#include "platform/path.h"
#include "platform/registry/registry_access.h"
#include "platform/registry/registry_errors.h"

namespace userdb::settings {

namespace {

// The leading "\" makes the paths absolute, whatever key is open.
constexpr std::string_view kFolderKey = "\\Software\\ZID\\DefaultUserbinPath";
constexpr std::string_view kRadioTypeKey = "\\Software\\ZID\\RadioType";
constexpr std::string_view kDisplayFormatKey = "\\Software\\ZID\\LineType";

constexpr int kRadioTypeCount = 2;
constexpr int kDisplayFormatCount = 2;
constexpr int kCompactFormat = 1;
constexpr int kMd2017 = 1;

// The stored index, or -1 when there is none that reads as a 32-bit integer.
int ReadIndex(const registry::RegistryAccess& registry, std::string_view name) {
  try {
    return registry.ReadInteger(name);
  } catch (const registry::RegistryError&) {
    return -1;
  }
}

}  // namespace

void LoadSelections(registry::RegistryStore& store, SelectionControls& controls) {
  controls.SetInitialFolder("");
  registry::RegistryAccess registry(store);

  registry.OpenExistingKey(kFolderKey);
  const std::string folder = registry.ReadString("Path");
  controls.SetInitialFolder(folder);
  controls.SetPathText(folder);

  registry.OpenOrCreateKey(kRadioTypeKey);
  const int radio_type = ReadIndex(registry, "Type");
  // A number beyond the items keeps the designed selection; any negative one selects none.
  if (radio_type < kRadioTypeCount) controls.SetRadioTypeSelection(std::max(radio_type, -1));

  registry.OpenOrCreateKey(kDisplayFormatKey);
  const int display_format = ReadIndex(registry, "Format");
  const bool known_format = display_format >= 0 && display_format < kDisplayFormatCount;
  controls.SetDisplayFormatSelection(known_format ? display_format : kCompactFormat);

  controls.SetDisplayFormatEnabled(controls.RadioTypeSelection() == kMd2017);
}

void StoreSelections(registry::RegistryStore& store, std::string_view path_text, int radio_type,
                     int display_format) {
  registry::RegistryAccess registry(store);
  registry.OpenOrCreateKey(kFolderKey);
  registry.WriteString("Path", platform::FolderPart(path_text));
  registry.OpenOrCreateKey(kRadioTypeKey);
  registry.WriteInteger("Type", radio_type);
  registry.OpenOrCreateKey(kDisplayFormatKey);
  registry.WriteInteger("Format", display_format);
}

}  // namespace userdb::settings
