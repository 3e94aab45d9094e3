// The restart of a crashed program: a new instance with the same command line, and the
// hand-over to it in the shared memory "QuorvexRestart$<new process id in lower-case hex>"
// (88 bytes: the old process's id, a handle of no use here (0), the table of the last ten
// exception times), private to the user (mode 0600) and never followed through a link.
// The new instance, at its start, opens the memory under its own id, waits until the old
// instance has ended, takes the table over and unlinks the memory.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "crash/capture/exception_times.h"

namespace userdb::crash {

struct RestartHandOver {
  pid_t old_process = 0;
  ExceptionTimes::Table times{};
};

// "/QuorvexRestart$1a2b" for 0x1a2b.
std::string RestartMemoryName(pid_t process);

// The command line of this process, argument 0 first.
std::vector<std::string> ProcessCommandLine();

// Starts `executable` with `command_line` and hands `times` over to it; tells whether the new
// instance was started.
bool RestartProgram(const std::string& executable, const std::vector<std::string>& command_line,
                    const ExceptionTimes::Table& times);

// Writes the hand-over for `new_process` (for tests: the restart writes it itself).
bool WriteRestartHandOver(pid_t new_process, const RestartHandOver& hand_over);

struct TakeOverLimits {
  // When this process's parent is an instance of the same program (a restart in the moment
  // of writing its hand-over): how long to wait for the memory to appear.
  std::chrono::milliseconds appear{1000};
  // How long to wait for the old instance to end.
  std::chrono::milliseconds old_end{10000};
};

// For the new instance: the hand-over meant for this process, taken and unlinked, after
// its old instance has ended; none when this process was not started by a restart. Memory
// of another user, with other permissions or of another size is left alone.
std::optional<RestartHandOver> TakeRestartHandOver(const TakeOverLimits& limits = {});

}  // namespace userdb::crash
