// Reading and writing the crash reporter's settings. A view answers from a property list
// of its own first and then as its kind says: a module's settings from the process's main
// settings and the default table, a caught exception's overlay from its module's settings.
// Any thread may read and write.
#pragma once

#include <cstdint>
#include <optional>
#include <shared_mutex>
#include <string>
#include <string_view>

#include "crash/config/property_list.h"
#include "platform/module_section.h"

namespace userdb::crash {

// Where a view's settings come from, and what the placeholders of their texts name.
struct SettingsOrigin {
  platform::LoadedModule module;    // the module whose settings record this is
  std::string module_file_version;  // its version record's file version; empty when none
  std::string executable_name;      // the file name of the running executable
  std::string executable_file_version;
};

class SettingsView {
 public:
  virtual ~SettingsView() = default;
  SettingsView(const SettingsView&) = delete;
  SettingsView& operator=(const SettingsView&) = delete;

  // The property as the view finds it; none when no list and no default knows it.
  std::optional<Property> Find(std::string_view name) const;

  // The value field of each kind, whatever kind the property has; false, 0 or empty for
  // a property that nothing knows. Texts come placeholder-expanded, except that
  // "%exceptMsg%" and "%bugReport%" stay in place for the reader to fill.
  bool ReadBoolean(std::string_view name) const;
  int32_t ReadInteger(std::string_view name) const;
  std::string ReadText(std::string_view name) const;

  // Into the view's own list: a missing property is added with the kind written; an
  // existing one takes the value only when it has that kind. Tell whether it did.
  bool WriteBoolean(std::string_view name, bool value);
  bool WriteInteger(std::string_view name, int32_t value);
  bool WriteText(std::string_view name, std::string_view value);

  virtual const SettingsOrigin& Origin() const = 0;

 protected:
  explicit SettingsView(PropertyList own);

  std::optional<Property> FindOwn(std::string_view name) const;

  // Where the view looks for a property that its own list lacks.
  virtual std::optional<Property> FindBeyondOwn(std::string_view name) const = 0;

 private:
  bool Write(Property property);

  mutable std::shared_mutex mutex_;
  PropertyList own_;
};

}  // namespace userdb::crash
