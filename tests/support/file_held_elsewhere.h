// A file held open by another process for as long as the object lives, as a user's
// other program would hold it: open for writing, or locked.
#pragma once

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

namespace userdb::test_support {

class FileHeldElsewhere {
 public:
  enum class Hold { kOpenForWriting, kExclusiveLock };

  FileHeldElsewhere(const std::string& path, Hold hold) {
    int ready[2], done[2];
    if (pipe(ready) != 0 || pipe(done) != 0) return;
    holder_ = fork();
    if (holder_ == 0) {
      close(ready[0]);
      close(done[1]);  // or the wait below never sees the parent's end close
      const int fd = open(path.c_str(), hold == Hold::kOpenForWriting ? O_WRONLY : O_RDWR);
      const bool held = fd >= 0 && (hold == Hold::kOpenForWriting || flock(fd, LOCK_EX) == 0);
      char byte = held ? 'y' : 'n';
      (void)!write(ready[1], &byte, 1);
      (void)!read(done[0], &byte, 1);  // until the parent closes its end
      _exit(0);
    }
    close(ready[1]);
    close(done[0]);
    release_ = done[1];
    char byte = 0;
    held_ = read(ready[0], &byte, 1) == 1 && byte == 'y';
    close(ready[0]);
  }
  ~FileHeldElsewhere() { Release(); }
  FileHeldElsewhere(const FileHeldElsewhere&) = delete;
  FileHeldElsewhere& operator=(const FileHeldElsewhere&) = delete;

  // Whether the other process holds the file.
  bool Held() const { return held_; }

  // Ends the other process, and with it its hold.
  void Release() {
    if (holder_ <= 0) return;
    close(release_);
    waitpid(holder_, nullptr, 0);
    holder_ = -1;
  }

 private:
  pid_t holder_ = -1;
  int release_ = -1;
  bool held_ = false;
};

}  // namespace userdb::test_support
