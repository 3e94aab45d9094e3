// The crash reporter's temporary folder: where the attachments of a mail and the
// screenshot for the image editor are written. It is
//   "$XDG_RUNTIME_DIR/<program>.Quorvex"               when XDG_RUNTIME_DIR is set, else
//   "$TMPDIR/<program>.Quorvex-<uid>" ("/tmp/..." without TMPDIR),
// where <program> is the program file's name without its extension. A shared folder such
// as /tmp lets anyone create names in it, so the folder is used only when it is a real
// folder (not a link), owned by this user and closed to everyone else; it is created with
// mode 0700 when missing. The crash-reporter object owns one; any thread may use it.
#pragma once

#include <sys/types.h>

#include <mutex>
#include <string>
#include <string_view>

#include "platform/exception.h"

namespace userdb::crash {

// The folder cannot be made, or what is at its path is not safe to use.
class TemporaryFolderError : public Exception {
 public:
  TemporaryFolderError(const std::string& path, const std::string& reason)
      : Exception("The crash reporter's temporary folder " + path + " cannot be used: " + reason +
                  ".") {}
};

// The folder's path, from the program file's path and the environment's values (either may
// be null; a value that is not an absolute path counts as unset).
std::string TemporaryFolderPath(std::string_view program_path, const char* xdg_runtime_dir,
                                const char* tmpdir, uid_t uid);

class TemporaryFolder {
 public:
  explicit TemporaryFolder(std::string path);
  TemporaryFolder(const TemporaryFolder&) = delete;
  TemporaryFolder& operator=(const TemporaryFolder&) = delete;

  // The folder of the running program, in this process's environment.
  static std::string ProcessPath();

  const std::string& Path() const { return path_; }

  // The folder, created when missing, as a path ending with "/". Throws
  // TemporaryFolderError with the reason when it cannot be created or is not safe to use
  // (another owner, a link, anything but a folder, open to other users).
  std::string Open();

  // Removes the folder with everything in it and tells whether it is gone. A missing
  // folder is gone; a link or anything of another user's is left alone.
  bool Remove();

 private:
  void CheckSafe() const;

  const std::string path_;
  std::mutex mutex_;
};

}  // namespace userdb::crash
