// Small files that the kernel or the system keeps: /proc, /sys, /etc.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace userdb::platform {

// The file's bytes up to `limit`, read until its end (a /proc file tells no size); none when it
// cannot be opened or read.
std::optional<std::string> ReadSystemFile(const std::string& path, size_t limit = 1 << 20);

// Its first line without the line break; empty when the file cannot be read.
std::string ReadSystemFileLine(const std::string& path);

}  // namespace userdb::platform
