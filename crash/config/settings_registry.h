// The settings of the modules of a process. A module's settings record is read and parsed
// once, when its settings are first asked for; the parsed settings stay in the registry
// until it is cleared, and live on while anything holds them. Any thread may ask.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "crash/config/module_settings.h"
#include "platform/message_box.h"
#include "platform/module_section.h"

namespace userdb::crash {

// Where a registry finds the modules and their records: in this process, or in a test.
class ModuleCatalog {
 public:
  virtual ~ModuleCatalog() = default;
  virtual std::optional<platform::LoadedModule> ModuleContaining(const void* address) const = 0;
  // Every module, in ascending order of load address.
  virtual std::vector<platform::LoadedModule> Modules() const = 0;
  // The module's settings stream; none when it carries none.
  virtual std::optional<std::string> SettingsStream(const platform::LoadedModule& module) const = 0;
  // The file version of the module's version record; empty when it has none.
  virtual std::string FileVersion(const platform::LoadedModule& module) const = 0;

  // The running executable among the modules.
  std::optional<platform::LoadedModule> Executable() const;
};

// The modules of this process, their ELF sections and version records.
class ProcessModuleCatalog : public ModuleCatalog {
 public:
  std::optional<platform::LoadedModule> ModuleContaining(const void* address) const override;
  std::vector<platform::LoadedModule> Modules() const override;
  std::optional<std::string> SettingsStream(const platform::LoadedModule& module) const override;
  std::string FileVersion(const platform::LoadedModule& module) const override;
};

// The caption of every message box of the crash reporter itself.
inline constexpr std::string_view kCrashReporterCaption = "Quorvex";

class SettingsRegistry {
 public:
  // A record that stops early (an unknown value type, a damaged stream) is reported in
  // `box`, captioned "Quorvex", when it is parsed.
  SettingsRegistry(const ModuleCatalog& catalog, platform::MessageBox& box);

  // The settings of the module containing `address` when it has settings of its own
  // (its "NoSettings" not true); otherwise the main settings; null when there are none.
  // A write to them changes the module's settings for the rest of the process run.
  std::shared_ptr<ModuleSettings> SettingsFor(const void* address);

  // The executable's settings when it has settings of its own; otherwise those of the first
  // module in address order that has; null when no module has.
  std::shared_ptr<ModuleSettings> MainSettings();

  // Lets every module's settings leave the registry; they are parsed again when asked for.
  void Clear();

 private:
  using ModuleKey = std::pair<std::string, uintptr_t>;
  using Messages = std::vector<std::string>;

  // Runs `find` under the lock and shows the messages of what it parsed afterwards, so that
  // a box waiting for the user holds up no other reader.
  template <typename Find>
  std::shared_ptr<ModuleSettings> FindAndReport(Find find);
  std::shared_ptr<ModuleSettings> SettingsForLocked(const void* address, Messages& messages);
  std::shared_ptr<ModuleSettings> MainSettingsLocked(Messages& messages);
  std::shared_ptr<ModuleSettings> ParsedOnce(const platform::LoadedModule& module,
                                             const std::shared_ptr<ModuleSettings>& main,
                                             Messages& messages);
  std::shared_ptr<ModuleSettings> Parse(const platform::LoadedModule& module,
                                        const std::shared_ptr<ModuleSettings>& main,
                                        Messages& messages) const;
  void ShowAll(const Messages& messages);

  const ModuleCatalog& catalog_;
  platform::MessageBox& box_;
  std::mutex mutex_;
  std::map<ModuleKey, std::shared_ptr<ModuleSettings>> modules_;  // null: no settings
  std::shared_ptr<ModuleSettings> main_;  // sought again while there is none
};

}  // namespace userdb::crash
