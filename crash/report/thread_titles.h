// Which threads a report lists, and the titles of their sections.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "crash/capture/thread_registry.h"
#include "platform/proc_stat.h"

namespace userdb::crash {

struct ThreadTitleFacts {
  pid_t id = 0;
  bool registry_locked = true;  // false: nothing of the registry is known
  std::string name;             // empty: none
  std::string class_name;       // of its thread object; empty: none
  bool suspended = false;
  int priority = 0;  // 0 normal, higher meaning higher
};

// "name ($id)", or "thread $id" followed by " (class)" when its thread object's class is
// known; "thread $id" alone when the registry could not be locked.
std::string ThreadTitleBase(const ThreadTitleFacts& facts);

// The base, ":", then " <suspended>" and " <priority:n>" as they apply.
std::string ThreadTitle(const ThreadTitleFacts& facts);

// The priority of a thread's scheduling, higher meaning higher, 0 normal: its real-time
// priority under a real-time policy, -15 for the idle policy, otherwise its nice value
// negated.
int ThreadPriority(const platform::ProcStat& stat);

// What the registry and the kernel tell of a thread of this process. A thread without a
// registry name takes the name the kernel knows it by, unless that is the process's own
// (every thread starts with it). In a trace report an own thread of the crash reporter
// takes its name for that report; otherwise it keeps "-".
ThreadTitleFacts GatherTitleFacts(const ThreadRegistry& registry, pid_t thread, bool trace_report);

// The threads of this process in the order the system lists them.
std::vector<pid_t> ProcessThreads();

// The order of a report's thread sections: `first` (the exception thread, or the main thread
// of a freeze), then the main thread, then, with `list_all`, the others in the given order.
std::vector<pid_t> ReportThreadOrder(pid_t first, pid_t main_thread,
                                     const std::vector<pid_t>& all_threads, bool list_all);

}  // namespace userdb::crash
