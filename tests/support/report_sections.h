// Reading a bug report's sections in tests.
#pragma once

#include <sys/resource.h>

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

// What a report adds to the title of a thread that runs at the priority of this process (and
// of the programs it starts): " <priority:n>", n the niceness negated, when the tests run
// niced; nothing at normal priority.
inline std::string PriorityMark() {
  const int nice = getpriority(PRIO_PROCESS, 0);
  return nice == 0 ? std::string() : " <priority:" + std::to_string(-nice) + ">";
}

// The call stack of the report's first thread section (the thread that failed, or the main
// thread of a freeze), the lines below its title; empty while the section holds no traced
// stack (">> stack will be calculated soon", ">> stack not accessible" and the like, after the
// location line of the thread's current instruction).
inline std::string FirstCallStack(const std::string& report) {
  const size_t title = report.find("\r\n\r\n");
  if (title == std::string::npos) return {};
  const size_t stack = report.find("\r\n", title + 4);
  if (stack == std::string::npos) return {};
  const size_t end = report.find("\r\n\r\n", stack);
  const std::string lines =
      report.substr(stack + 2, end == std::string::npos ? end : end - stack - 2);
  if (lines.starts_with(">> stack") || lines.find("\r\n>> stack") != std::string::npos) return {};
  return lines;
}

// Whether the first call stack has a line of its own for `function` (its full name, the
// line's last column): what a report must show of the function that raised the failure.
inline bool FirstStackNames(const std::string& report, const std::string& function) {
  return ("\r\n" + FirstCallStack(report) + "\r\n").find(" " + function + "\r\n") !=
         std::string::npos;
}

}  // namespace userdb::test_support
