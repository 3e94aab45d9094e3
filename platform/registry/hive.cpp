#include "platform/registry/hive.h"

#include <algorithm>
#include <utility>

namespace userdb::registry {

const RegistryValue* RegistryKey::FindValue(std::string_view name) const {
  const auto found = value_positions_.find(name);
  return found != value_positions_.end() ? &values_[found->second] : nullptr;
}

bool RegistryKey::SetValue(RegistryValue value) {
  const auto [position, added] = value_positions_.try_emplace(value.name, values_.size());
  if (added) {
    values_.push_back(std::move(value));
    return true;
  }
  RegistryValue& existing = values_[position->second];
  if (existing == value) return false;
  existing = std::move(value);
  return true;
}

bool RegistryKey::DeleteValue(std::string_view name) {
  const auto found = value_positions_.find(name);
  if (found == value_positions_.end()) return false;
  const size_t removed = found->second;
  value_positions_.erase(found);
  values_.erase(values_.begin() + static_cast<std::ptrdiff_t>(removed));
  for (auto& [value_name, position] : value_positions_) {
    if (position > removed) --position;
  }
  return true;
}

Hive::Hive() {
  AddKey("");
}

const RegistryKey* Hive::FindKey(std::string_view path) const {
  const size_t position = PositionOf(NormalizeKeyPath(path));
  return position < keys_.size() ? &keys_[position] : nullptr;
}

RegistryKey* Hive::FindKey(std::string_view path) {
  return const_cast<RegistryKey*>(std::as_const(*this).FindKey(path));
}

RegistryKey& Hive::CreateKey(std::string_view path) {
  const std::string normal = NormalizeKeyPath(path);
  if (const size_t existing = PositionOf(normal); existing < keys_.size()) return keys_[existing];
  // The ends of the missing keys' paths, the deepest first, up to the nearest existing one.
  std::vector<size_t> missing_ends{normal.size()};
  for (size_t end = normal.rfind('\\'); end != std::string::npos && end > 0;
       end = normal.rfind('\\', end - 1)) {
    if (PositionOf(std::string_view(normal).substr(0, end)) < keys_.size()) break;
    missing_ends.push_back(end);
  }
  for (auto end = missing_ends.rbegin(); end != missing_ends.rend(); ++end) {
    AddKey(normal.substr(0, *end));
  }
  return keys_.back();
}

size_t Hive::PositionOf(std::string_view normal_path) const {
  const auto found = key_positions_.find(normal_path);
  return found != key_positions_.end() ? found->second : keys_.size();
}

RegistryKey& Hive::AddKey(std::string normal_path) {
  key_positions_.emplace(normal_path, keys_.size());
  return keys_.emplace_back(std::move(normal_path));
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

bool KeyPathFitsLimits(std::string_view normal_path) {
  if (normal_path.empty()) return true;
  size_t depth = 0;
  for (;;) {
    const size_t separator = std::min(normal_path.find('\\'), normal_path.size());
    if (++depth > kMaxKeyDepth || separator > kMaxKeyNameLength) return false;
    if (separator == normal_path.size()) return true;
    normal_path.remove_prefix(separator + 1);
  }
}

}  // namespace userdb::registry
