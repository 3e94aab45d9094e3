#include "platform/registry/hive.h"

#include <algorithm>
#include <utility>

#include "platform/case_insensitive_1252.h"

const RegistryValue* RegistryKey::FindValue(std::string_view name) const {
  for (const RegistryValue& value : values_) {
    if (EqualIgnoringCase1252(value.name, name)) return &value;
  }
  return nullptr;
}

bool RegistryKey::SetValue(RegistryValue value) {
  for (RegistryValue& existing : values_) {
    if (!EqualIgnoringCase1252(existing.name, value.name)) continue;
    if (existing == value) return false;
    existing = std::move(value);
    return true;
  }
  values_.push_back(std::move(value));
  return true;
}

bool RegistryKey::DeleteValue(std::string_view name) {
  const auto found = std::find_if(values_.begin(), values_.end(), [&](const RegistryValue& value) {
    return EqualIgnoringCase1252(value.name, name);
  });
  if (found == values_.end()) return false;
  values_.erase(found);
  return true;
}

Hive::Hive() {
  keys_.emplace_back("");
}

const RegistryKey* Hive::FindKey(std::string_view path) const {
  const std::string normal = NormalizeKeyPath(path);
  for (const RegistryKey& key : keys_) {
    if (EqualIgnoringCase1252(key.Path(), normal)) return &key;
  }
  return nullptr;
}

RegistryKey* Hive::FindKey(std::string_view path) {
  return const_cast<RegistryKey*>(std::as_const(*this).FindKey(path));
}

RegistryKey& Hive::CreateKey(std::string_view path) {
  const std::string normal = NormalizeKeyPath(path);
  if (RegistryKey* existing = FindKey(normal)) return *existing;
  const size_t last_separator = normal.rfind('\\');
  if (last_separator != std::string::npos) CreateKey(normal.substr(0, last_separator));
  return keys_.emplace_back(normal);
}

std::string NormalizeKeyPath(std::string_view path) {
  std::string normal;
  while (!path.empty()) {
    const size_t separator = std::min(path.find('\\'), path.size());
    if (separator > 0) {
      if (!normal.empty()) normal += '\\';
      normal.append(path.substr(0, separator));
    }
    path.remove_prefix(std::min(separator + 1, path.size()));
  }
  return normal;
}

std::string JoinKeyPath(std::string_view parent, std::string_view child) {
  return NormalizeKeyPath(std::string(parent) + "\\" + std::string(child));
}
