#pragma once

#include <string>

#include "platform/exception.h"

namespace userdb::cli {

// A command line that cannot be understood.
class UsageError : public Exception {
 public:
  explicit UsageError(const std::string& message) : Exception(message) {}
};

}  // namespace userdb::cli
