// What the symbol look-up tests share: the test library loaded with dlopen, and the line of a
// marker in a source file.
#pragma once

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>

#include <algorithm>
#include <cstdint>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>

#include "tests/support/temp_folder.h"

namespace userdb::crash::test {

class LoadedLibrary {
 public:
  explicit LoadedLibrary(const std::string& path)
      : handle_(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {
    if (handle_ == nullptr) throw std::runtime_error(std::string("dlopen: ") + dlerror());
  }
  ~LoadedLibrary() { Close(); }
  LoadedLibrary(const LoadedLibrary&) = delete;
  LoadedLibrary& operator=(const LoadedLibrary&) = delete;

  void Close() {
    if (handle_ != nullptr) dlclose(handle_);
    handle_ = nullptr;
  }

  // The address of an exported function.
  uintptr_t Address(const char* name) const {
    void* found = dlsym(handle_, name);
    if (found == nullptr) throw std::runtime_error(std::string("dlsym: ") + name);
    return reinterpret_cast<uintptr_t>(found);
  }

  // The address that an exported function without parameters returns.
  uintptr_t Call(const char* name) const {
    const auto function = reinterpret_cast<void* (*)()>(Address(name));
    return reinterpret_cast<uintptr_t>(function());
  }

 private:
  void* handle_;
};

// The number of the first line of the file that holds `marker`.
inline int LineOf(const std::string& path, std::string_view marker) {
  std::istringstream text(test_support::ReadFile(path));
  std::string line;
  for (int number = 1; std::getline(text, line); ++number) {
    if (line.find(marker) != std::string::npos) return number;
  }
  throw std::runtime_error("no line with " + std::string(marker) + " in " + path);
}

// Writes `bytes` into the file in place (the same inode) and sets its time of last
// modification, to the nanosecond.
inline void WriteInPlace(const std::string& path, const std::string& bytes, timespec modified) {
  test_support::WriteFile(path, bytes);
  const timespec times[2] = {modified, modified};
  if (utimensat(AT_FDCWD, path.c_str(), times, 0) != 0) throw std::runtime_error("utimensat");
}

// The files of the test library and of its rebuilt version, padded with zeros to one size, so
// that one can replace the other without changing the size of the file.
struct LibraryBuilds {
  std::string first, rebuilt;
};

inline LibraryBuilds LibraryBuildsOfOneSize(const std::string& first, const std::string& rebuilt) {
  LibraryBuilds builds{test_support::ReadFile(first), test_support::ReadFile(rebuilt)};
  const size_t size = std::max(builds.first.size(), builds.rebuilt.size());
  builds.first.resize(size, '\0');
  builds.rebuilt.resize(size, '\0');
  return builds;
}

}  // namespace userdb::crash::test
