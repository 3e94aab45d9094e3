#include "crash/report/modules_section.h"

#include <algorithm>

#include "crash/report/value_formats.h"
#include "platform/module_section.h"
#include "platform/path.h"
#include "platform/version_record.h"

namespace userdb::crash {

namespace {

std::string PadRight(std::string text, size_t width) {
  if (text.size() < width) text.append(width - text.size(), ' ');
  return text;
}

std::string FolderWithoutSeparator(std::string_view path) {
  std::string folder = platform::FolderPart(path);
  if (folder.size() > 1) folder.pop_back();
  return folder;
}

}  // namespace

namespace {

bool IsVersionNumber(std::string_view text) {
  return !text.empty() && text.front() != '.' && text.back() != '.' &&
         std::all_of(text.begin(), text.end(),
                     [](char c) { return (c >= '0' && c <= '9') || c == '.'; });
}

}  // namespace

std::string NumericTail(std::string_view file_name) {
  // "libQt6Core.so.6.4.2", or "libelf-0.188.so".
  const size_t so = file_name.find(".so.");
  if (so != std::string_view::npos) {
    const std::string_view tail = file_name.substr(so + 4);
    return IsVersionNumber(tail) ? std::string(tail) : std::string();
  }
  const size_t dash = file_name.rfind('-');
  if (!file_name.ends_with(".so") || dash == std::string_view::npos) return {};
  const std::string_view tail = file_name.substr(dash + 1, file_name.size() - 3 - (dash + 1));
  return IsVersionNumber(tail) ? std::string(tail) : std::string();
}

std::string ModuleFileVersion(const std::string& path) {
  platform::LoadedModule module;
  module.path = path;
  module.is_executable = path == platform::ExecutablePath();
  const auto record = platform::VersionRecordOfModule(module);
  if (record && !record->file_version.empty()) return record->file_version;
  return NumericTail(platform::FileNamePart(platform::ResolvedPath(path)));
}

std::vector<ModuleLine> LoadedModuleLines() {
  std::vector<ModuleLine> lines;
  for (const platform::LoadedModule& module : platform::LoadedModules()) {
    if (module.path.empty() || module.path.front() != '/') continue;  // the vDSO has no file
    lines.push_back({module.load_bias, module.path, ModuleFileVersion(module.path)});
  }
  std::stable_sort(lines.begin(), lines.end(), [](const ModuleLine& a, const ModuleLine& b) {
    return a.load_address < b.load_address;
  });
  return lines;
}

std::string ModulesText(const std::vector<ModuleLine>& modules) {
  size_t name_width = 0, version_width = 0;
  for (const ModuleLine& module : modules) {
    name_width = std::max(name_width, platform::FileNamePart(module.path).size());
    version_width = std::max(version_width, module.version.size());
  }
  std::string text;
  for (const ModuleLine& module : modules) {
    if (!text.empty()) text += "\r\n";
    text += AddressText(module.load_address) + " ";
    text += PadRight(platform::FileNamePart(module.path), name_width + 1);
    text += PadRight(module.version, version_width + 1);
    text += FolderWithoutSeparator(module.path);
  }
  return text;
}

std::string ModulesSection() {
  return ModulesText(LoadedModuleLines());
}

}  // namespace userdb::crash
