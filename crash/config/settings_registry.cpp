#include "crash/config/settings_registry.h"

#include <algorithm>
#include <filesystem>

#include "crash/config/password_cipher.h"
#include "crash/config/settings_stream.h"
#include "platform/version_record.h"

namespace userdb::crash {

std::optional<platform::LoadedModule> ModuleCatalog::Executable() const {
  for (platform::LoadedModule& module : Modules()) {
    if (module.is_executable) return std::move(module);
  }
  return std::nullopt;
}

std::optional<platform::LoadedModule> ProcessModuleCatalog::ModuleContaining(
    const void* address) const {
  return platform::ModuleContaining(address);
}

std::vector<platform::LoadedModule> ProcessModuleCatalog::Modules() const {
  return platform::LoadedModules();
}

std::optional<std::string> ProcessModuleCatalog::SettingsStream(
    const platform::LoadedModule& module) const {
  return platform::ReadModuleSection(module, kSettingsSection);
}

std::string ProcessModuleCatalog::FileVersion(const platform::LoadedModule& module) const {
  const auto record = platform::VersionRecordOfModule(module);
  return record ? record->file_version : std::string();
}

SettingsRegistry::SettingsRegistry(const ModuleCatalog& catalog, platform::MessageBox& box)
    : catalog_(catalog), box_(box) {}

template <typename Find>
std::shared_ptr<ModuleSettings> SettingsRegistry::FindAndReport(Find find) {
  Messages messages;
  std::shared_ptr<ModuleSettings> settings;
  {
    const std::lock_guard lock(mutex_);
    settings = find(messages);
  }
  ShowAll(messages);
  return settings;
}

std::shared_ptr<ModuleSettings> SettingsRegistry::SettingsFor(const void* address) {
  return FindAndReport([&](Messages& messages) { return SettingsForLocked(address, messages); });
}

std::shared_ptr<ModuleSettings> SettingsRegistry::MainSettings() {
  return FindAndReport([&](Messages& messages) { return MainSettingsLocked(messages); });
}

void SettingsRegistry::Clear() {
  const std::lock_guard lock(mutex_);
  modules_.clear();
  main_.reset();
}

std::shared_ptr<ModuleSettings> SettingsRegistry::SettingsForLocked(const void* address,
                                                                    Messages& messages) {
  std::shared_ptr<ModuleSettings> main = MainSettingsLocked(messages);
  const auto module = catalog_.ModuleContaining(address);
  if (!module) return main;
  std::shared_ptr<ModuleSettings> own = ParsedOnce(*module, main, messages);
  return own && own->HasOwnSettings() ? own : main;
}

std::shared_ptr<ModuleSettings> SettingsRegistry::MainSettingsLocked(Messages& messages) {
  if (main_) return main_;
  std::vector<platform::LoadedModule> modules = catalog_.Modules();
  std::stable_partition(modules.begin(), modules.end(),
                        [](const platform::LoadedModule& module) { return module.is_executable; });
  for (const platform::LoadedModule& module : modules) {
    // A candidate that turns out to be the main settings answers from the default table.
    std::shared_ptr<ModuleSettings> settings = ParsedOnce(module, nullptr, messages);
    if (settings && settings->HasOwnSettings()) return main_ = settings;
  }
  return nullptr;
}

std::shared_ptr<ModuleSettings> SettingsRegistry::ParsedOnce(
    const platform::LoadedModule& module, const std::shared_ptr<ModuleSettings>& main,
    Messages& messages) {
  const ModuleKey key{module.path, module.load_bias};
  const auto known = modules_.find(key);
  if (known != modules_.end()) return known->second;
  return modules_[key] = Parse(module, main, messages);
}

std::shared_ptr<ModuleSettings> SettingsRegistry::Parse(const platform::LoadedModule& module,
                                                        const std::shared_ptr<ModuleSettings>& main,
                                                        Messages& messages) const {
  const auto stream = catalog_.SettingsStream(module);
  if (!stream) return nullptr;
  auto parsed = ParseSettingsStream(*stream);
  if (!parsed) return nullptr;
  if (parsed->failure_message) messages.push_back(*parsed->failure_message);
  DecipherStoredPasswords(parsed->properties);
  SettingsOrigin origin;
  origin.module = module;
  origin.module_file_version = catalog_.FileVersion(module);
  if (const auto executable = catalog_.Executable()) {
    origin.executable_name = std::filesystem::path(executable->path).filename().string();
    origin.executable_file_version = catalog_.FileVersion(*executable);
  }
  return std::make_shared<ModuleSettings>(std::move(origin), std::move(parsed->properties), main);
}

void SettingsRegistry::ShowAll(const Messages& messages) {
  for (const std::string& message : messages)
    box_.Show(kCrashReporterCaption, message, platform::MessageKind::kError);
}

}  // namespace userdb::crash
