// Starting a program of ours (the crash helper, a restarted instance) from a crashed process:
// posix_spawn, every signal at its default and none blocked, so that nothing of the crash
// reporter's signal handling passes on.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

namespace userdb::crash {

struct SpawnRequest {
  std::string program;
  std::vector<std::string> arguments;  // argument 0 first
  int standard_input = -1;             // -1: inherited
  int standard_output = -1;
};

// The new process's id; none when it could not be started, with errno telling why (the
// program is missing, not executable, ...).
std::optional<pid_t> SpawnProgram(const SpawnRequest& request);

}  // namespace userdb::crash
