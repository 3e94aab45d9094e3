#include "crash/report/report_plugins.h"

#include "crash/report/hardware_section.h"
#include "crash/report/modules_section.h"
#include "crash/report/processes_section.h"
#include "crash/report/report_entries.h"
#include "platform/case_insensitive_1252.h"

namespace userdb::crash {

void ReportPlugins::Register(ReportPlugin plugin) {
  plugins_.push_back(std::move(plugin));
}

std::vector<ReportPlugin> ReportPlugins::Selected(std::string_view setting) const {
  std::vector<ReportPlugin> selected;
  size_t start = 0;
  while (start <= setting.size()) {
    size_t end = setting.find('|', start);
    if (end == std::string_view::npos) end = setting.size();
    const std::string_view name = TrimReportValue(setting.substr(start, end - start));
    for (const ReportPlugin& plugin : plugins_) {
      if (!name.empty() && platform::EqualIgnoringCase1252(plugin.name, name)) {
        selected.push_back(plugin);
        break;
      }
    }
    start = end + 1;
  }
  return selected;
}

ReportPlugins StandardReportPlugins() {
  ReportPlugins plugins;
  plugins.Register({"modules", "list of loaded modules", &ModulesSection, true});
  plugins.Register({"processes", "list of running processes", &ProcessesSection, true});
  plugins.Register({"hardware", "list of installed hardware", &HardwareSection, true});
  return plugins;
}

}  // namespace userdb::crash
