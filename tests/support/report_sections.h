// Reading a bug report's sections in tests.
#pragma once

#include <string>

namespace userdb::test_support {

// The lines of the section titled `title` (its ":" included), without the title; empty when
// the report has no such section.
inline std::string SectionOf(const std::string& report, const std::string& title) {
  const size_t start = report.find("\r\n\r\n" + title + "\r\n");
  if (start == std::string::npos) return {};
  const size_t body = start + 4 + title.size() + 2;
  const size_t end = report.find("\r\n\r\n", body);
  return report.substr(body, end == std::string::npos ? end : end - body);
}

// The call stack of the report's first thread section (the thread that failed, or the main
// thread of a freeze): the lines after the section's title and the location line of the
// thread's current instruction; empty when the section holds no traced stack.
inline std::string FirstCallStack(const std::string& report) {
  const size_t title = report.find("\r\n\r\n");
  if (title == std::string::npos) return {};
  const size_t location = report.find("\r\n", title + 4);
  if (location == std::string::npos || report.compare(location + 2, 2, ">>") == 0) return {};
  const size_t stack = report.find("\r\n", location + 2);
  if (stack == std::string::npos) return {};
  const size_t end = report.find("\r\n\r\n", stack);
  return report.substr(stack + 2, end == std::string::npos ? end : end - stack - 2);
}

// Whether the first call stack has a line of its own for `function` (its full name, the
// line's last column): what a report must show of the function that raised the failure.
inline bool FirstStackNames(const std::string& report, const std::string& function) {
  return ("\r\n" + FirstCallStack(report) + "\r\n").find(" " + function + "\r\n") !=
         std::string::npos;
}

}  // namespace userdb::test_support
