#include "platform/path.h"

#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <system_error>

namespace userdb::platform {

std::string FolderPart(std::string_view path) {
  const size_t separator = path.rfind('/');
  if (separator == std::string_view::npos) return {};
  return std::string(path.substr(0, separator + 1));
}

std::string FileNamePart(std::string_view path) {
  const size_t separator = path.rfind('/');
  return std::string(separator == std::string_view::npos ? path : path.substr(separator + 1));
}

std::string FileNameWithoutExtension(std::string_view path) {
  std::string name = FileNamePart(path);
  const size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) name.erase(dot);
  return name;
}

std::string FullPath(std::string_view path) {
  std::filesystem::path result(path);
  if (result.is_relative()) {
    std::error_code error;
    const std::filesystem::path current = std::filesystem::current_path(error);
    if (!error) result = current / result;
  }
  return result.lexically_normal().string();
}

std::string ResolvedPath(const std::string& path) {
  char* resolved = realpath(path.c_str(), nullptr);
  if (resolved == nullptr) return path;
  std::string result(resolved);
  free(resolved);
  return result;
}

bool FileExists(const std::string& path) {
  struct stat status {};
  return stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

}  // namespace userdb::platform
