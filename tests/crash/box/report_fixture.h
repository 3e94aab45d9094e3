// A bug report's text read back into its header and sections, so that a stored report can
// be fed to the report viewer as the box receives it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "crash/box/report_view.h"
#include "crash/report/report_entries.h"

namespace userdb::test_support {

struct ReportLists {
  std::vector<crash::ReportEntry> header;
  std::vector<crash::ReportEntry> sections;
};

// Header lines are a name padded to one width, ": " and the value; each section follows an
// empty line, its title ending with ":" (added to titles that hold none, so it is taken off
// again except from the threads' titles, which hold "$"), an empty content line stands as
// ".".
inline ReportLists ParseReportText(std::string_view text) {
  const std::vector<std::string_view> lines = crash::TextLines(text);
  ReportLists lists;
  size_t i = 0;
  const size_t width = lines.empty() ? 0 : lines[0].find(": ");
  for (; i < lines.size() && !lines[i].empty(); ++i) {
    std::string name(lines[i].substr(0, width));
    while (!name.empty() && name.back() == ' ') name.pop_back();
    lists.header.push_back({name, std::string(lines[i].substr(width + 2))});
  }
  while (i < lines.size()) {
    ++i;  // the empty line
    if (i >= lines.size()) break;
    std::string title(lines[i++]);
    if (title.find('$') == std::string::npos && title.ends_with(':')) title.pop_back();
    std::string content;
    for (; i < lines.size() && !lines[i].empty(); ++i) {
      if (!content.empty()) content += "\r\n";
      content += lines[i] == "." ? std::string_view() : lines[i];
    }
    lists.sections.push_back({title, content});
  }
  return lists;
}

}  // namespace userdb::test_support
