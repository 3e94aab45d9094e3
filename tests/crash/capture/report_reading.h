// Reading what the real programs left: their exit status, the reports in a bug report file or
// on standard error, a report's header values and its sections.
#pragma once

#include <sys/wait.h>

#include <optional>
#include <string>
#include <vector>

namespace userdb::test_support {

inline bool Exited(const std::optional<int>& status, int code) {
  return status && WIFEXITED(*status) && WEXITSTATUS(*status) == code;
}

inline bool Killed(const std::optional<int>& status, int signal) {
  return status && WIFSIGNALED(*status) && WTERMSIG(*status) == signal;
}

// The reports of a bug report file (or of standard error), each from its "date/time" line on.
inline std::vector<std::string> ReportsIn(const std::string& text) {
  std::vector<size_t> starts;
  for (size_t at = text.find("date/time"); at != std::string::npos;
       at = text.find("date/time", at + 1)) {
    if (at == 0 || text[at - 1] == '\n') starts.push_back(at);
  }
  std::vector<std::string> reports;
  for (size_t i = 0; i < starts.size(); ++i) {
    const size_t end = i + 1 < starts.size() ? starts[i + 1] : text.size();
    reports.push_back(text.substr(starts[i], end - starts[i]));
  }
  return reports;
}

// The value of a header line "name  : value"; empty when the header has none.
inline std::string HeaderValueOf(const std::string& report, const std::string& name) {
  size_t at = report.starts_with(name) ? 0 : report.find("\n" + name);
  if (at == std::string::npos) return {};
  if (at != 0) ++at;
  const size_t end = report.find_first_of("\r\n", at);
  const std::string line = report.substr(at, end - at);
  const size_t separator = line.find(": ");
  if (separator == std::string::npos) return {};
  for (size_t i = name.size(); i < separator; ++i) {
    if (line[i] != ' ') return {};
  }
  return line.substr(separator + 2);
}

// A report's sections after its header, each its title line and the lines that follow (line
// ends CR LF or LF).
inline std::vector<std::vector<std::string>> SectionsOf(const std::string& report) {
  std::vector<std::vector<std::string>> sections;
  std::vector<std::string> lines;
  size_t start = 0;
  bool in_header = true;
  while (start <= report.size()) {
    size_t end = report.find('\n', start);
    if (end == std::string::npos) end = report.size();
    std::string line = report.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    start = end + 1;
    if (line.empty()) {
      if (!in_header && !lines.empty()) sections.push_back(lines);
      lines.clear();
      in_header = false;
      continue;
    }
    if (!in_header) lines.push_back(line);
  }
  if (!lines.empty()) sections.push_back(lines);
  return sections;
}

// The thread sections of a report: those whose title ends a thread's title.
inline std::vector<std::vector<std::string>> ThreadSectionsOf(const std::string& report) {
  std::vector<std::vector<std::string>> threads;
  for (auto& section : SectionsOf(report)) {
    const std::string& title = section.front();
    if (title.starts_with("thread $") || title.find(" ($") != std::string::npos) {
      threads.push_back(section);
    }
  }
  return threads;
}

}  // namespace userdb::test_support
