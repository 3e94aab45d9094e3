#include "crash/process_settings.h"

SettingsRegistry& ProcessSettingsRegistry() {
  static const auto* catalog = new ProcessModuleCatalog;
  static auto* registry = new SettingsRegistry(*catalog, ProcessMessageBox());
  return *registry;
}

std::shared_ptr<ModuleSettings> SettingsFor(const void* address) {
  return ProcessSettingsRegistry().SettingsFor(address);
}

void ClearProcessSettings() {
  ProcessSettingsRegistry().Clear();
}
