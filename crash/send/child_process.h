// Running a program of the desktop (the mail hand-off's xdg-email, xdg-mime, xdg-open) as a
// child process: started with posix_spawn, without a shell, in a process group of its own,
// with the default handling of every signal; its standard input and error are /dev/null
// and its standard output is kept or dropped, so that nothing of it mixes into this
// program's output. Every wait for it has a time limit.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace userdb::crash {

// What to do with a child that is still running when its time is up.
enum class AtTimeLimit {
  kStop,          // SIGTERM to its process group, SIGKILL a second later
  kLeaveRunning,  // it may be a program the user works in; it is reaped when it ends
};

struct ChildRun {
  std::vector<std::string> arguments;  // the program's path first
  std::chrono::milliseconds time_limit{5000};
  AtTimeLimit at_time_limit = AtTimeLimit::kStop;
  bool keep_output = false;  // standard output into ChildResult::output (at most 64 KiB)
};

enum class ChildEnd { kNotStarted, kExited, kKilledBySignal, kTimeLimit };

struct ChildResult {
  ChildEnd end = ChildEnd::kNotStarted;
  int exit_code = -1;  // for kExited
  std::string output;

  bool ExitedWithSuccess() const { return end == ChildEnd::kExited && exit_code == 0; }
};

ChildResult RunChild(const ChildRun& run);

// The path of the executable file `name` in the folders of `search_path` (a PATH value:
// folders separated by ":", an empty one meaning the current folder); a name with a "/"
// is taken as it is. None when there is no such executable regular file.
std::optional<std::string> FindProgram(std::string_view name, std::string_view search_path);

}  // namespace userdb::crash
