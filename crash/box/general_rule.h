// The general rule: the view of a section that has no view of its own ("hardware", the
// assistants' "error details", a plug-in's text) and of a section still being composed.
//
// Lines of more than 80 characters are long, the others short. The text is a list only when
// it has more than one line and five times its long lines are fewer than its short lines,
// or when it begins with "^"; otherwise it is shown as plain text. A text beginning with "^"
// carries the column names, separated by tabs, in its first line after that "^" (each name
// with its own marks), which is no row; without
// it the columns have no visible names. When the first non-blank character of every line is
// "+" or "-" (the hardware form), the list has one column in the fixed-pitch font, a line's
// leading blanks stay, and the "+" rows are highlighted. Otherwise a text without tabs is
// split by the column rule (lone separators ignored), and one with tabs at its tabs, in as
// many columns as the most tabs in one line plus one.
#pragma once

#include <string_view>

#include "crash/box/report_view.h"

namespace userdb::crash {

ReportView GeneralRuleView(std::string_view text);

}  // namespace userdb::crash
