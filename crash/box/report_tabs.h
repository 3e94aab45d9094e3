// The tabs of the report viewer and the text each of them shows.
//
// "general" (the header), then "call stack" (the first section and every further section
// of a thread, whose titles hold "$"; "call stacks" when the second section is such a
// thread's), then one tab per further section in the report's order, named by its title,
// "cpu registers" shortened to "cpu regs" and "disassembling" to "disasm".
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "crash/box/report_view.h"
#include "crash/report/report_entries.h"

namespace userdb::crash {

enum class TabKind { kGeneral, kCallStack, kSection };

struct ReportTab {
  TabKind kind = TabKind::kSection;
  std::string key;   // what the tab stays the same by: "general", "call stack", a title
  std::string name;  // what it is called
  std::vector<std::string> section_titles;  // the sections it shows, in order
  friend bool operator==(const ReportTab&, const ReportTab&) = default;
};

std::vector<ReportTab> ReportTabs(const std::vector<ReportEntry>& sections);

// The text a tab shows: the header as "name" + tab + "value" lines (each value on one line
// as the report prints it); the call stacks each as ">> " + title and its lines; a section's
// content. Lines are joined by CR LF. A view is built again only when this text changed.
std::string TabText(const ReportTab& tab, const std::vector<ReportEntry>& header,
                    const std::vector<ReportEntry>& sections);

// The view of a tab's text: its own columns for "general", "call stack" (and any text
// beginning with ">> internal"), "cpu registers", "stack dump", "modules", "processes" and
// "disassembling"; the general rule for other sections and for a section still being
// composed (">> will be calculated soon").
ReportView TabView(const ReportTab& tab, std::string_view text);

// Bringing the tabs shown up to date: vanished ones removed, missing ones inserted at their
// place, and those whose name or sections changed updated in place (so that the tab shown
// stays shown: "call stack" becomes "call stacks" when a second thread's section comes).
// Applied in order, the changes turn `shown` into `wanted`; a tab is known by its key.
struct TabChange {
  enum class Kind { kRemove, kInsert, kUpdate };
  Kind kind = Kind::kRemove;
  size_t index = 0;
  ReportTab tab;  // the inserted tab, or the updated one as it is now
  friend bool operator==(const TabChange&, const TabChange&) = default;
};

std::vector<TabChange> TabChanges(const std::vector<ReportTab>& shown,
                                  const std::vector<ReportTab>& wanted);

}  // namespace userdb::crash
