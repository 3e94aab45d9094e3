#include "platform/registry/registry_access.h"

#include <algorithm>

#include "platform/registry/registry_errors.h"

namespace userdb::registry {

bool RegistryAccess::OpenExistingKey(std::string_view path) {
  return OpenKey(path, false);
}

bool RegistryAccess::OpenOrCreateKey(std::string_view path) {
  return OpenKey(path, true);
}

bool RegistryAccess::OpenKey(std::string_view path, bool create) {
  const bool from_root = (!path.empty() && path.front() == '\\') || !key_is_open_;
  const std::string full = from_root ? NormalizeKeyPath(path) : JoinKeyPath(open_key_, path);
  CloseKey();
  bool exists = store_.Load().FindKey(full) != nullptr;
  if (!exists && create && KeyPathFitsLimits(full)) {
    // Only a missing key costs a write, so that opening keys on every start changes nothing.
    exists = store_.Update([&](Hive& hive) {
      if (hive.FindKey(full) != nullptr) return false;
      hive.CreateKey(full);
      return true;
    });
  }
  if (exists) {
    open_key_ = full;
    key_is_open_ = true;
  }
  return exists;
}

std::optional<RegistryValue> RegistryAccess::Fetch(std::string_view name) const {
  if (!key_is_open_) return std::nullopt;
  const Hive& hive = store_.Load();
  const RegistryKey* key = hive.FindKey(open_key_);
  const RegistryValue* value = key != nullptr ? key->FindValue(name) : nullptr;
  if (value == nullptr) return std::nullopt;
  return *value;
}

std::optional<RegistryValueInfo> RegistryAccess::QueryValue(std::string_view name) const {
  const std::optional<RegistryValue> value = Fetch(name);
  if (!value) return std::nullopt;
  return RegistryValueInfo{value->type, value->data.size()};
}

RegistryValueInfo RegistryAccess::ReadData(std::string_view name, std::span<char> buffer) const {
  const std::optional<RegistryValue> value = Fetch(name);
  if (!value || value->data.size() > buffer.size()) throw RegistryDataReadError(std::string(name));
  std::copy(value->data.begin(), value->data.end(), buffer.begin());
  return RegistryValueInfo{value->type, value->data.size()};
}

std::string RegistryAccess::ReadString(std::string_view name) const {
  const std::optional<RegistryValue> value = Fetch(name);
  if (!value || value->data.empty()) return "";
  if (value->type != registry_type::kString && value->type != registry_type::kExpandString) {
    throw RegistryDataTypeError(std::string(name));
  }
  return value->data.substr(0, value->data.find('\0'));
}

int32_t RegistryAccess::ReadInteger(std::string_view name) const {
  // Data shorter than four bytes leaves the high bytes zero.
  char bytes[4] = {};
  if (ReadData(name, bytes).type != registry_type::kDword) {
    throw RegistryDataTypeError(std::string(name));
  }
  return static_cast<int32_t>(DwordNumber(std::string_view(bytes, sizeof bytes)));
}

void RegistryAccess::WriteString(std::string_view name, std::string_view text) {
  Write({std::string(name), registry_type::kString, std::string(text) + '\0'});
}

void RegistryAccess::WriteInteger(std::string_view name, int32_t number) {
  Write({std::string(name), registry_type::kDword, DwordData(static_cast<uint32_t>(number))});
}

void RegistryAccess::Write(const RegistryValue& value) {
  const bool written = key_is_open_ && store_.Update([&](Hive& hive) {
    return hive.CreateKey(open_key_).SetValue(value);
  });
  if (!written) throw RegistryDataWriteError(value.name);
}

bool RegistryAccess::DeleteValue(std::string_view name) {
  if (!key_is_open_) return false;
  bool deleted = false;
  const bool written = store_.Update([&](Hive& hive) {
    RegistryKey* key = hive.FindKey(open_key_);
    deleted = key != nullptr && key->DeleteValue(name);
    return deleted;
  });
  return written && deleted;
}

}  // namespace userdb::registry
