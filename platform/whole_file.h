// Whole-file reads and writes with the sharing rules of this program.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <sys/types.h>

#include "platform/unique_fd.h"

namespace userdb::platform {

// The largest file read whole: sizes and counts read from it are 32-bit.
inline constexpr size_t kMaxWholeFileSize = 0x7FFFFFFF;

// Reads the whole regular file in one piece, allowing other readers but no writers: the read
// fails when another process holds the file open for writing (told by a read lease
// where the kernel grants one; where it cannot, for another user's file or on a file
// system without leases, the read goes on). A writer that opens the file meanwhile
// waits until the read is done.
// Anything but a regular file (a folder, a device, a named pipe) is refused without
// waiting, and a file of 2 GiB or more is refused before any memory is taken.
// Throws FileOpenError (with the full path) or StreamReadError.
std::string ReadWholeFile(const std::string& path);

// A regular file opened for reading with the sharing rules of ReadWholeFile, for as long
// as the object lives, and read piece by piece: for a file read in several passes
// without holding it whole in memory. A writer that opens the file meanwhile waits until
// the object is gone.
class SharedFileReader {
 public:
  // Throws FileOpenError (with the full path), and StreamReadError for a file of 2 GiB or
  // more, as ReadWholeFile does.
  explicit SharedFileReader(const std::string& path);

  // The file's size when it was opened.
  uint64_t Size() const { return size_; }
  // Reads up to `size` bytes from `offset` into `buffer`: fewer only at the end of the
  // file. Throws StreamReadError.
  size_t ReadAt(uint64_t offset, char* buffer, size_t size) const;
  // The whole file as it is now. Throws StreamReadError.
  std::string ReadAll() const;

 private:
  UniqueFd fd_;
  uint64_t size_ = 0;
};

// Makes `bytes` the whole content of the file, created when missing, without sharing:
// an exclusive flock for the time of the write; a file locked by another process cannot
// be written. A regular file is replaced by renaming a completely written temporary file
// over it, so that a failed write leaves the earlier file as it was; where that cannot
// be done (no right to create files in the folder, a file of another owner or with
// several links) the file is rewritten in place after its room is reserved. Anything but a
// regular file at the path (also behind a symbolic link) is refused and left alone.
// Throws FileCreateError (with the full path) or StreamWriteError.
void WriteWholeFile(const std::string& path, std::string_view bytes);

// The whole new contents of a file written piece by piece, before the file's name is known
// (when the name tells how much was written), with the rules of WriteWholeFile: the pieces
// go to a temporary file in the folder the file will be in, which Finish renames to the
// file's name; where no temporary file can be made, they are kept in memory. Large files
// are so written without holding them whole.
class WholeFileStream {
 public:
  // `folder` is where the file will be ("" for the current folder); `name_prefix` begins
  // the temporary file's name, ".<name_prefix>.XXXXXX".
  WholeFileStream(std::string folder, std::string name_prefix);
  // Removes the temporary file unless Finish made it the file.
  ~WholeFileStream();
  WholeFileStream(const WholeFileStream&) = delete;
  WholeFileStream& operator=(const WholeFileStream&) = delete;

  // Adds bytes to the contents. Never throws: a failed write is told by Finish.
  void Append(std::string_view bytes);
  // Makes everything appended the whole content of the file at `path`, as WriteWholeFile
  // does. Throws FileCreateError (with the full path) or StreamWriteError.
  void Finish(const std::string& path);

 private:
  void Flush();

  std::string folder_;
  std::string name_prefix_;
  std::string pending_;  // not yet in the temporary file
  UniqueFd temporary_;
  std::string temporary_path_;
  off_t written_ = 0;
  bool in_memory_ = false;  // no temporary file could be made: everything stays in pending_
  bool write_failed_ = false;
};

// The bytes of a regular file of at most `max_size` bytes, without the sharing rules: for
// files that only this program reads, such as symbol files beside a module. None when the
// file is missing, no regular file (a FIFO is not waited for), larger, or cannot be read.
std::optional<std::string> ReadRegularFile(const std::string& path, size_t max_size);

}  // namespace userdb::platform
