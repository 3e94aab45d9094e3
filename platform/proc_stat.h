// What the kernel tells of a process or thread in its /proc "stat" file.
#pragma once

#include <optional>
#include <string>

namespace userdb::platform {

struct ProcStat {
  std::string name;  // the kernel's name of the process or thread (at most 15 bytes)
  char state = '?';  // R, S, D, T (stopped), t (stopped by a tracer), Z, ...
  int nice = 0;      // -20 to 19
  unsigned rt_priority = 0;
  unsigned policy = 0;  // SCHED_OTHER, SCHED_FIFO, ...
};

// The contents of a stat file, such as "/proc/self/task/<id>/stat"; none when it cannot be
// read or parsed.
std::optional<ProcStat> ReadProcStat(const std::string& path);

// The same from its text.
std::optional<ProcStat> ParseProcStat(const std::string& text);

}  // namespace userdb::platform
