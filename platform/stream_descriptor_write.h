// Writing to a stdio stream's descriptor past the stream's lock: for the crash reporter's
// messages on standard error, which a thread that failed while it held the stream's lock (in
// the middle of a printf) must not keep from the user. When the lock comes within the limit,
// what the stream holds goes out first and the stream stays locked meanwhile, so that nothing
// of another thread's output comes between; otherwise the bytes are written at once.
#pragma once

#include <chrono>
#include <cstdio>
#include <string_view>

namespace userdb::platform {

inline constexpr std::chrono::milliseconds kStreamLockLimit{500};

// Tells whether every byte was written. A stream without a descriptor (a memory stream) is
// written through stdio.
bool WriteToStreamDescriptor(std::FILE* stream, std::string_view bytes,
                             std::chrono::milliseconds lock_limit = kStreamLockLimit);

// Writes every byte to the descriptor, again after an interruption; tells whether it did.
// Async-signal-safe.
bool WriteAllToDescriptor(int fd, std::string_view bytes);

}  // namespace userdb::platform
