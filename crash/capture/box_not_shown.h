// What the user is told when the crash reporter's box could not be shown (the window
// program's crash helper did not start, or ended without an answer): on standard error,
// what happened and where the report was saved; and, where the program goes on (its
// user-interface thread is sound then), the same in a plain message box of the program's
// own, shown on its main thread.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace userdb::crash {

// One sentence: `why` the box was not shown, and `saved_path`, the bug report file that holds
// the report (empty: no report was saved).
std::string BoxNotShownNotice(std::string_view why, std::string_view saved_path);

// Writes "<caption>: <notice>" as one line to standard error, in UTF-8, with plain writes:
// a thread that failed while it held the standard error stream's lock holds up nothing.
void WriteNoticeToStandardError(std::string_view caption, std::string_view notice);

}  // namespace userdb::crash
