#include "crash/report/thread_titles.h"

#include <sched.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "crash/report/value_formats.h"
#include "platform/folder_entries.h"
#include "platform/system_file.h"

namespace userdb::crash {

namespace {

constexpr int kIdlePriority = -15;

std::string TaskFolder(pid_t thread) {
  return "/proc/self/task/" + std::to_string(thread);
}

}  // namespace

std::string ThreadTitleBase(const ThreadTitleFacts& facts) {
  const std::string id = DollarHex(static_cast<uint64_t>(facts.id));
  if (!facts.registry_locked) return "thread " + id;
  if (!facts.name.empty() && facts.name != kOwnThreadName) return facts.name + " (" + id + ")";
  std::string title = "thread " + id;
  if (!facts.class_name.empty()) title += " (" + facts.class_name + ")";
  return title;
}

std::string ThreadTitle(const ThreadTitleFacts& facts) {
  std::string title = ThreadTitleBase(facts) + ":";
  if (facts.suspended) title += " <suspended>";
  if (facts.priority != 0) title += " <priority:" + std::to_string(facts.priority) + ">";
  return title;
}

int ThreadPriority(const platform::ProcStat& stat) {
  if (stat.policy == SCHED_FIFO || stat.policy == SCHED_RR)
    return static_cast<int>(stat.rt_priority);
  if (stat.policy == SCHED_IDLE) return kIdlePriority;
  return -stat.nice;
}

ThreadTitleFacts GatherTitleFacts(const ThreadRegistry& registry, pid_t thread, bool trace_report) {
  ThreadTitleFacts facts;
  facts.id = thread;
  const auto stat = platform::ReadProcStat(TaskFolder(thread) + "/stat");
  if (stat) {
    facts.suspended = stat->state == 'T' || stat->state == 't';
    facts.priority = ThreadPriority(*stat);
  }
  const ThreadLookup lookup = registry.Find(thread);
  facts.registry_locked = lookup.locked;
  if (lookup.entry) {
    facts.name = lookup.entry->name;
    facts.class_name = lookup.entry->class_name;
    if (trace_report && facts.name == kOwnThreadName && !lookup.entry->trace_name.empty()) {
      facts.name = lookup.entry->trace_name;
    }
  }
  // The kernel keeps 15 bytes of a name; Qt names a thread after its object's class.
  constexpr size_t kKernelNameLength = 15;
  if (facts.name.empty() && stat && stat->name != facts.class_name.substr(0, kKernelNameLength)) {
    const auto process = platform::ReadProcStat("/proc/self/stat");
    if (!process || process->name != stat->name) facts.name = stat->name;
  }
  return facts;
}

std::vector<pid_t> ProcessThreads() {
  std::vector<pid_t> threads;
  for (const std::string& name : platform::FolderEntries("/proc/self/task")) {
    char* end = nullptr;
    const long id = std::strtol(name.c_str(), &end, 10);
    if (*end == '\0' && id > 0) threads.push_back(static_cast<pid_t>(id));
  }
  return threads;
}

std::vector<pid_t> ReportThreadOrder(pid_t first, pid_t main_thread,
                                     const std::vector<pid_t>& all_threads, bool list_all) {
  std::vector<pid_t> order{first};
  if (main_thread != first) order.push_back(main_thread);
  if (!list_all) return order;
  for (const pid_t thread : all_threads) {
    if (std::find(order.begin(), order.end(), thread) == order.end()) order.push_back(thread);
  }
  return order;
}

}  // namespace userdb::crash
