// Comparing the call stacks of a bug report with gdb's backtraces of the same process, thread
// by thread: how many of gdb's frames the report shows, in order, and how many of the frames it
// shows gdb does not have.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace userdb::bench {

struct ThreadFrames {
  std::string title;              // gdb's thread name, or the report's section title
  std::vector<uintptr_t> pcs;     // newest first
  std::vector<std::string> text;  // the line of each frame, for the listing of differences
  // The names each frame's function goes by, as frame_names.h brings them to one form: gdb's
  // innermost inline function first, then those that hold it; none where nothing names it.
  std::vector<std::vector<std::string>> names;
};

// gdb's "thread apply all bt -frame-info location-and-address", by thread id: each frame's pc
// (the current instruction, then return addresses). Inline frames share their pc with the
// frame that holds them and count once; "<signal handler called>" and a last frame at pc 0
// are left out.
std::map<pid_t, ThreadFrames> ParseGdbBacktraces(std::string_view text);

// The thread sections of a report, by thread id ("$<hex>" in the title): each printed stack
// line's address, up to the ">> created by" line (the creating code's location below it
// belongs to another thread).
std::map<pid_t, ThreadFrames> ParseReportStacks(std::string_view text);

struct ThreadScore {
  size_t gdb_frames = 0;              // with inline frames once and recursion shown once
  size_t found = 0;                   // of those, shown by the report in order
  size_t printed = 0;                 // frames the report shows
  size_t not_in_gdb = 0;              // of those, frames gdb does not have
  std::vector<std::string> missing;   // gdb's lines of the frames not found
  std::vector<std::string> invented;  // the report's lines of the frames gdb does not have
  size_t named_by_gdb = 0;            // of the frames found, those whose function gdb names
  size_t names_matched = 0;           // of those, the report gives one of gdb's names for the frame
  size_t other_c_library_name = 0;    // of the matched, by another name of the C library's
  // The report's lines of frames that it shows without a name where gdb names the function.
  std::vector<std::string> unnamed;
  // The report's and gdb's lines of frames that the two name differently.
  std::vector<std::string> misnamed;
  // The report's lines of frames that it names where gdb does not.
  std::vector<std::string> named_by_report_alone;
};

// A report frame is gdb's frame when its address lies at most a long instruction before gdb's
// pc: the report names a call instruction where gdb names the return address after it. A name
// matches when it is one of gdb's names for the frame, or the same C library function's.
ThreadScore CompareThread(const ThreadFrames& gdb, const ThreadFrames& report);

}  // namespace userdb::bench
