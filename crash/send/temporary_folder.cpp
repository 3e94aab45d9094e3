#include "crash/send/temporary_folder.h"

#include <errno.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <utility>

#include "platform/module_section.h"
#include "platform/path.h"
#include "platform/system_error_text.h"

namespace userdb::crash {

namespace {

constexpr std::string_view kFolderSuffix = ".Quorvex";

bool IsAbsolute(const char* path) {
  return path != nullptr && path[0] == '/';
}

std::string WithoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

}  // namespace

std::string TemporaryFolderPath(std::string_view program_path, const char* xdg_runtime_dir,
                                const char* tmpdir, uid_t uid) {
  const std::string name =
      platform::FileNameWithoutExtension(program_path) + std::string(kFolderSuffix);
  if (IsAbsolute(xdg_runtime_dir)) return WithoutTrailingSlashes(xdg_runtime_dir) + "/" + name;
  const std::string base = IsAbsolute(tmpdir) ? WithoutTrailingSlashes(tmpdir) : "/tmp";
  return (base == "/" ? "" : base) + "/" + name + "-" + std::to_string(uid);
}

TemporaryFolder::TemporaryFolder(std::string path) : path_(std::move(path)) {}

std::string TemporaryFolder::ProcessPath() {
  return TemporaryFolderPath(platform::ExecutablePath(), getenv("XDG_RUNTIME_DIR"),
                             getenv("TMPDIR"), getuid());
}

void TemporaryFolder::CheckSafe() const {
  struct stat status {};
  if (lstat(path_.c_str(), &status) != 0) {
    throw TemporaryFolderError(path_, platform::SystemErrorText(errno));
  }
  if (S_ISLNK(status.st_mode)) throw TemporaryFolderError(path_, "it is a symbolic link");
  if (!S_ISDIR(status.st_mode)) throw TemporaryFolderError(path_, "it is not a folder");
  if (status.st_uid != geteuid()) {
    throw TemporaryFolderError(path_, "it belongs to another user");
  }
  if ((status.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
    throw TemporaryFolderError(path_, "other users may write into it");
  }
}

std::string TemporaryFolder::Open() {
  const std::lock_guard lock(mutex_);
  // mkdir never follows a link at the path: an existing name, whatever it is, gives EEXIST
  // and is then checked.
  if (mkdir(path_.c_str(), 0700) != 0 && errno != EEXIST) {
    throw TemporaryFolderError(path_, platform::SystemErrorText(errno));
  }
  CheckSafe();
  return path_ + "/";
}

bool TemporaryFolder::Remove() {
  const std::lock_guard lock(mutex_);
  struct stat status {};
  if (lstat(path_.c_str(), &status) != 0) return errno == ENOENT;
  // Removing never follows a link inside, so a folder of this user is safe to remove
  // whoever may have written into it.
  if (!S_ISDIR(status.st_mode) || status.st_uid != geteuid()) return false;
  std::error_code error;
  std::filesystem::remove_all(path_, error);
  return !error;
}

}  // namespace userdb::crash
