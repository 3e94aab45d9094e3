#include "crash/box/report_tabs.h"

#include <algorithm>

#include "crash/box/call_stack_view.h"
#include "crash/box/disassembly_view.h"
#include "crash/box/general_rule.h"
#include "crash/box/section_views.h"
#include "crash/report/report_file_format.h"
#include "crash/report/report_header_builder.h"
#include "crash/report/report_text.h"

namespace userdb::crash {

namespace {

constexpr std::string_view kGeneralTab = "general";
constexpr std::string_view kCallStackTab = "call stack";
constexpr std::string_view kModulesTitle = "modules";
constexpr std::string_view kProcessesTitle = "processes";
constexpr std::string_view kInternalErrorStart = ">> internal";
constexpr std::string_view kBeingComposedStart = ">> will be";

bool IsThreadTitle(std::string_view title) {
  return title.find('$') != std::string_view::npos;
}

std::string TabName(std::string_view title) {
  if (title == kCpuRegistersTitle) return "cpu regs";
  if (title == kDisassemblingTitle) return "disasm";
  return std::string(title);
}

const std::string* ContentOf(const std::vector<ReportEntry>& sections, std::string_view title) {
  for (const ReportEntry& section : sections) {
    if (section.name == title) return &section.value;
  }
  return nullptr;
}

void AppendLine(std::string& text, std::string_view line) {
  if (!text.empty()) text += kLineBreak;
  text += line;
}

}  // namespace

std::vector<ReportTab> ReportTabs(const std::vector<ReportEntry>& sections) {
  std::vector<ReportTab> tabs;
  tabs.push_back({TabKind::kGeneral, std::string(kGeneralTab), std::string(kGeneralTab), {}});
  if (sections.empty()) return tabs;

  ReportTab stacks{TabKind::kCallStack,
                   std::string(kCallStackTab),
                   std::string(kCallStackTab),
                   {sections.front().name}};
  if (sections.size() > 1 && IsThreadTitle(sections[1].name)) stacks.name += "s";
  tabs.push_back(stacks);
  for (size_t i = 1; i < sections.size(); ++i) {
    const std::string& title = sections[i].name;
    if (IsThreadTitle(title)) {
      tabs[1].section_titles.push_back(title);
    } else {
      tabs.push_back({TabKind::kSection, title, TabName(title), {title}});
    }
  }
  return tabs;
}

std::string TabText(const ReportTab& tab, const std::vector<ReportEntry>& header,
                    const std::vector<ReportEntry>& sections) {
  std::string text;
  switch (tab.kind) {
    case TabKind::kGeneral:
      for (const ReportEntry& entry : header)
        AppendLine(text, entry.name + "\t" + HeaderValueOnOneLine(entry.value));
      break;
    case TabKind::kCallStack:
      for (const std::string& title : tab.section_titles) {
        const std::string* content = ContentOf(sections, title);
        if (content == nullptr) continue;
        AppendLine(text, ">> " + title);
        AppendLine(text, *content);
      }
      break;
    case TabKind::kSection:
      if (const std::string* content = ContentOf(sections, tab.section_titles.front()))
        text = *content;
      break;
  }
  return text;
}

ReportView TabView(const ReportTab& tab, std::string_view text) {
  if (tab.kind == TabKind::kGeneral) return HeaderView(text);
  if (text.starts_with(kBeingComposedStart)) return GeneralRuleView(text);
  if (tab.kind == TabKind::kCallStack || text.starts_with(kInternalErrorStart))
    return CallStackView(text);
  const std::string& title = tab.section_titles.front();
  if (title == kCpuRegistersTitle) return CpuRegistersView(text);
  if (title == kStackDumpTitle) return StackDumpView(text);
  if (title == kModulesTitle) return ModulesView(text);
  if (title == kProcessesTitle) return ProcessesView(text);
  if (title == kDisassemblingTitle) return DisassemblyView(text);
  return GeneralRuleView(text);
}

std::vector<TabChange> TabChanges(const std::vector<ReportTab>& shown,
                                  const std::vector<ReportTab>& wanted) {
  const auto has_key = [](const std::vector<ReportTab>& tabs, const std::string& key) {
    return std::any_of(tabs.begin(), tabs.end(),
                       [&key](const ReportTab& tab) { return tab.key == key; });
  };
  std::vector<TabChange> changes;
  std::vector<ReportTab> tabs = shown;
  for (size_t i = tabs.size(); i-- > 0;) {
    if (has_key(wanted, tabs[i].key)) continue;
    changes.push_back({TabChange::Kind::kRemove, i, tabs[i]});
    tabs.erase(tabs.begin() + static_cast<ptrdiff_t>(i));
  }
  for (size_t i = 0; i < wanted.size(); ++i) {
    const auto found = std::find_if(tabs.begin(), tabs.end(),
                                    [&](const ReportTab& tab) { return tab.key == wanted[i].key; });
    if (found == tabs.end()) {
      const size_t index = std::min(i, tabs.size());
      changes.push_back({TabChange::Kind::kInsert, index, wanted[i]});
      tabs.insert(tabs.begin() + static_cast<ptrdiff_t>(index), wanted[i]);
    } else if (*found != wanted[i]) {
      const auto index = static_cast<size_t>(found - tabs.begin());
      changes.push_back({TabChange::Kind::kUpdate, index, wanted[i]});
      *found = wanted[i];
    }
  }
  return changes;
}

}  // namespace userdb::crash
