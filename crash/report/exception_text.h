// The class name and message of a caught exception as the report and the box show them.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace userdb::crash {

// What is known of the exception object.
struct ExceptionObject {
  // Its class first, then its parent classes up to the root, names without namespace.
  std::vector<std::string> class_chain;
  std::string message;  // the object's own message text
};

// "Unknown" when there is no object or its class cannot be told.
std::string ExceptionClassText(const std::optional<ExceptionObject>& object);

// The message: the object's message when its class is or descends from "Exception",
// "VostrelException" or the standard library's "exception" (its what()), otherwise its class
// name; control characters other than CR and LF
// removed, trimmed, "Unknown" when empty; trailing "." and "!" cut and one "." appended.
std::string FormattedExceptionMessage(const std::optional<ExceptionObject>& object);

}  // namespace userdb::crash
