// A fresh folder for one test, removed with everything in it when the test ends.
#pragma once

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <time.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <string_view>

namespace userdb::test_support {

class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "userdb-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    // Open to others, so that an unprivileged child can work in it.
    chmod(pattern.c_str(), 0777);
    path_ = pattern;
  }
  ~TempFolder() {
    std::error_code ignored;
    MakeWritable(path_);
    std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& Path() const { return path_; }
  // The path of `name` inside the folder.
  std::string operator/(std::string_view name) const { return path_ + "/" + std::string(name); }

 private:
  // Tests make files and folders read-only; removal needs them writable again.
  static void MakeWritable(const std::string& root) {
    std::error_code ignored;
    chmod(root.c_str(), 0777);
    for (auto it = std::filesystem::recursive_directory_iterator(root, ignored);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
      if (!it->is_symlink()) chmod(it->path().c_str(), 0777);
    }
  }

  std::string path_;
};

inline void WriteFile(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Sets the file's access and modification times to `age` before now (a link's own).
inline void MakeOlder(const std::string& path, std::chrono::seconds age) {
  timespec times[2];
  clock_gettime(CLOCK_REALTIME, &times[0]);
  times[0].tv_sec -= age.count();
  times[1] = times[0];
  if (utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0) {
    throw std::runtime_error("cannot set the times of " + path);
  }
}

}  // namespace userdb::test_support
