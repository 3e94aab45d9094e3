// What answers a trace request: the crash-reporter object.
#pragma once

#include <string>

namespace userdb::crash {

class TraceTarget {
 public:
  virtual ~TraceTarget() = default;
  // The complete report of the running process, without an exception.
  virtual std::string TraceReport() = 0;
  // Puts the text on the clipboard through the window's main thread; false when the program
  // has no clipboard.
  virtual bool PutOnClipboard(const std::string& text) = 0;
};

}  // namespace userdb::crash
