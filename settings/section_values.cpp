#include "settings/section_values.h"

#include <charconv>
#include <optional>
#include <utility>

#include "platform/registry/registry_errors.h"
#include "platform/registry/registry_value.h"

namespace userdb::settings {

namespace {

std::optional<int32_t> ParseDecimal(std::string_view text) {
  int32_t number = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, number);
  if (text.empty() || error != std::errc() || stop != end) return std::nullopt;
  return number;
}

}  // namespace

SectionValues::SectionValues(registry::RegistryStore& store, std::string base_key,
                             std::string section)
    : store_(store), base_key_(std::move(base_key)), section_(std::move(section)) {}

bool SectionValues::OpenSection(registry::RegistryAccess& registry) const {
  registry.OpenOrCreateKey(base_key_);
  // From the root, so that a base key that could not be created sends no one elsewhere.
  return registry.OpenExistingKey("\\" + registry::JoinKeyPath(base_key_, section_));
}

void SectionValues::CreateSection(registry::RegistryAccess& registry) const {
  registry.OpenOrCreateKey(base_key_);
  if (!registry.OpenOrCreateKey("\\" + registry::JoinKeyPath(base_key_, section_))) {
    throw registry::RegistryKeyCreateError(section_);
  }
}

int32_t SectionValues::ReadInteger(std::string_view name, int32_t default_value) {
  registry::RegistryAccess registry(store_);
  if (!OpenSection(registry)) return default_value;
  const std::optional<registry::RegistryValueInfo> info = registry.QueryValue(name);
  if (!info) return default_value;
  if (info->type == registry::registry_type::kString) {
    return ParseDecimal(registry.ReadString(name)).value_or(default_value);
  }
  return registry.ReadInteger(name);
}

bool SectionValues::ReadFlag(std::string_view name) {
  return ReadInteger(name, 0) != 0;
}

void SectionValues::WriteInteger(std::string_view name, int32_t number) {
  registry::RegistryAccess registry(store_);
  CreateSection(registry);
  const std::optional<registry::RegistryValueInfo> info = registry.QueryValue(name);
  if (info && info->type == registry::registry_type::kString) {
    registry.WriteString(name, std::to_string(number));
  } else {
    registry.WriteInteger(name, number);
  }
}

void SectionValues::WriteString(std::string_view name, std::string_view text) {
  registry::RegistryAccess registry(store_);
  CreateSection(registry);
  registry.WriteString(name, text);
}

}  // namespace userdb::settings
