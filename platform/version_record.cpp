#include "platform/version_record.h"

#include "platform/module_section.h"

namespace userdb::platform {

namespace {

// The value of the first "key=value" line of `key`; empty when there is none.
std::string FieldOf(std::string_view bytes, std::string_view key) {
  while (!bytes.empty()) {
    const size_t end = bytes.find('\n');
    std::string_view line = bytes.substr(0, end);
    bytes.remove_prefix(end == std::string_view::npos ? bytes.size() : end + 1);
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (line.size() > key.size() && line.starts_with(key) && line[key.size()] == '=') {
      return std::string(line.substr(key.size() + 1));
    }
  }
  return {};
}

}  // namespace

VersionRecord ParseVersionRecord(std::string_view bytes) {
  return {FieldOf(bytes, "FileVersion"), FieldOf(bytes, "OriginalFilename")};
}

std::optional<VersionRecord> VersionRecordOfModule(const LoadedModule& module) {
  const auto bytes = ReadModuleSection(module, kVersionRecordSection);
  if (!bytes) return std::nullopt;
  return ParseVersionRecord(*bytes);
}

std::optional<VersionRecord> VersionRecordOf(const void* address) {
  const auto module = ModuleContaining(address);
  if (!module) return std::nullopt;
  return VersionRecordOfModule(*module);
}

std::string FileVersionText(const void* address) {
  const auto record = VersionRecordOf(address);
  return record ? record->file_version : "Value Not Available";
}

}  // namespace userdb::platform
