// Report plug-ins: named procedures whose text becomes a section of its own or one header
// value. The setting "Plugins" names those that run, separated by "|", in their order.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace userdb::crash {

struct ReportPlugin {
  std::string name;
  std::string description;
  std::function<std::string()> procedure;
  bool own_section = true;  // false: one header value
};

class ReportPlugins {
 public:
  void Register(ReportPlugin plugin);

  // The plug-ins that `setting` names (letter case ignored), in its order; names of no
  // registered plug-in are passed over.
  std::vector<ReportPlugin> Selected(std::string_view setting) const;

 private:
  std::vector<ReportPlugin> plugins_;
};

// "modules", "processes" and "hardware", each a section of its own.
ReportPlugins StandardReportPlugins();

}  // namespace userdb::crash
