// The header of a report, built once when the report is started, and its section list.
#pragma once

#include <string_view>

#include "crash/report/call_stack_text.h"
#include "crash/report/caught_exception.h"

namespace userdb::crash {

inline constexpr std::string_view kCpuRegistersTitle = "cpu registers";
inline constexpr std::string_view kStackDumpTitle = "stack dump";
inline constexpr std::string_view kDisassemblingTitle = "disassembling";
// The header's "Quorvex version".
inline constexpr std::string_view kQuorvexVersion = "3.0e";

// "ShowRelAddrs", "ShowRelLines" and "HideUglyItems" of the settings.
StackTextOptions StackOptionsOf(const SettingsView& settings);

// The entries in their order; a value that is empty or cannot be obtained leaves its line out.
void BuildReportHeader(CaughtException& exception);

// The thread sections with their titles and first location lines, and the placeholders of
// the other sections; fills the thread stack list and counts the placeholders.
void BuildSectionList(CaughtException& exception);

}  // namespace userdb::crash
