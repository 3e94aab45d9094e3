// The function names of call-stack frames as gdb and a report print them, brought to one form
// so that the two compare: scopes joined by ".", without template arguments or parameters.
#pragma once

#include <string>
#include <string_view>

namespace userdb::bench {

// The function of gdb's frame line ("#3  0x... in ns::Class::Run(int) (this=...) at a.cpp:9")
// in that form; empty for "??" or a line without a function.
std::string GdbFrameName(std::string_view line);

// The function of a report's stack line ("ADDRESS +OFFSET MODULE [UNIT LINE [+REL]] FUNCTION")
// in that form; empty for a line that shows the module alone.
std::string ReportFrameName(std::string_view line);

// Whether two names in that form are one function of the C library under two of its names: it
// exports a function also with underscores in front (__poll, __GI___poll), with "libc_" in front
// (__libc_read), or its code's own name ends in "_impl" (__libc_start_main_impl) or "64"
// (___pthread_cond_timedwait64).
bool SameCLibraryFunction(std::string_view one, std::string_view other);

}  // namespace userdb::bench
