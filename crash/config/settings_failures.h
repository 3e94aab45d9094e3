// Failures of the crash reporter's settings record.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/exception.h"

namespace userdb::crash {

// A property record of the settings stream has a value type that no reader knows.
class InvalidSettingsResource : public Exception {
 public:
  explicit InvalidSettingsResource(uint8_t value_type)
      : Exception("Internal error: Invalid settings resource ($" + LowerHex(value_type) + ").") {}

 private:
  static std::string LowerHex(uint8_t value) {
    char digits[3];
    std::snprintf(digits, sizeof digits, "%x", value);
    return digits;
  }
};

// The settings stream ends inside a property record, or before the mark that ends the
// property list: it was cut short or damaged.
class TruncatedSettingsResource : public Exception {
 public:
  TruncatedSettingsResource()
      : Exception("Internal error: Invalid settings resource (truncated).") {}
};

}  // namespace userdb::crash
