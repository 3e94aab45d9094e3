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

}  // namespace userdb::test_support
