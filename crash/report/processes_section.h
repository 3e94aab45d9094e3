// The "processes" section: every process of the system, in the order /proc lists them.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

namespace userdb::crash {

struct ProcessLine {
  pid_t id = 0;
  std::string name;                 // the program's file name, or the kernel's name for it
  std::optional<uint32_t> session;  // the audit session id; none when it has none
  std::string priority_class;       // empty when the process could not be read
  std::string folder;               // empty when only the name is known
};

// The priority class of a scheduling policy and nice value: "realtime" for the real-time
// policies, "idle" for SCHED_IDLE and nice 15 and up, "below normal" for nice 1 to 14,
// "normal" for 0, "above normal" for -1 to -9, "high" for -10 and below.
std::string PriorityClass(unsigned policy, int nice);

std::vector<ProcessLine> RunningProcesses();

// The id in hexadecimal to the digit count of the largest id, the name, the session id column
// when any process has a session id other than 0, the priority class and the folder; each
// column but the last padded to its longest plus 1.
std::string ProcessesText(const std::vector<ProcessLine>& processes);

// The section's plug-in text for this system.
std::string ProcessesSection();

}  // namespace userdb::crash
