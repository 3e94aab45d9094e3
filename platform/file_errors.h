// Failures of the file layer. Messages are the program's own German texts in
// Windows-1252 (0xF6 is "ö").
#pragma once

#include <string>

#include "platform/exception.h"

namespace userdb::platform {

// A file could not be opened for reading.
class FileOpenError : public Exception {
 public:
  FileOpenError(const std::string& full_path, const std::string& system_text)
      : Exception("Datei " + full_path +
                  " kann nicht ge\xF6"
                  "ffnet werden. " +
                  system_text) {}
};

// A file could not be created (or truncated) for writing.
class FileCreateError : public Exception {
 public:
  FileCreateError(const std::string& full_path, const std::string& system_text)
      : Exception("Datei \"" + full_path + "\" kann nicht erstellt werden. " + system_text) {}
};

// Fewer bytes were written than asked for.
class StreamWriteError : public Exception {
 public:
  StreamWriteError() : Exception("Stream-Schreibfehler") {}
};

// Fewer bytes could be read than the file holds.
class StreamReadError : public Exception {
 public:
  StreamReadError() : Exception("Stream-Lesefehler") {}
};

}  // namespace userdb::platform
