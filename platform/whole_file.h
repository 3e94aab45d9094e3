// Whole-file reads and writes with the sharing rules of this program.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

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

// Makes `bytes` the whole content of the file, created when missing, without sharing:
// an exclusive flock for the time of the write; a file locked by another process cannot
// be written. A regular file is replaced by renaming a completely written temporary file
// over it, so that a failed write leaves the earlier file as it was; where that cannot
// be done (no right to create files in the folder, a file of another owner or with
// several links) the file is rewritten in place after its room is reserved. Anything but a
// regular file at the path (also behind a symbolic link) is refused and left alone.
// Throws FileCreateError (with the full path) or StreamWriteError.
void WriteWholeFile(const std::string& path, std::string_view bytes);

// The bytes of a regular file of at most `max_size` bytes, without the sharing rules: for
// files that only this program reads, such as symbol files beside a module. None when the
// file is missing, no regular file (a FIFO is not waited for), larger, or cannot be read.
std::optional<std::string> ReadRegularFile(const std::string& path, size_t max_size);

}  // namespace userdb::platform
