// The threads that the crash reporter knows of: the name each was given, the class of its
// thread object and where and by whom it was created. Reports title their thread sections
// from it. One per process, owned by the crash-reporter object; any thread may use it.
//
// The crash reporter's own threads carry the name "-", which keeps them out of reports; a
// trace report lists them under a name of their own for that one report.
//
// Not for a signal handler: every call takes the registry's lock.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace userdb::crash {

inline constexpr std::string_view kOwnThreadName = "-";
inline constexpr std::string_view kMainThreadName = "main thread";

struct ThreadEntry {
  pid_t id = 0;
  std::string name;        // empty when the thread was given none
  std::string class_name;  // of its thread object; empty when none
  // The return addresses of the creating thread's frames when it asked for the thread,
  // innermost first, past the C library's and the run-times' own modules: the first that does
  // not belong to a thread class's own code (std::thread, QThread) is the creation address.
  std::vector<uintptr_t> creation_frames;
  pid_t creator_id = 0;    // 0 when not known
  std::string trace_name;  // for an own thread ("-"): its name in a trace report
};

// A look-up that may have found the registry locked.
struct ThreadLookup {
  bool locked = false;  // false: the lock was not had in time, nothing is known
  std::optional<ThreadEntry> entry;
};

class ThreadRegistry {
 public:
  // Look-ups for a report wait this long for the lock.
  static constexpr std::chrono::milliseconds kLookupLimit{50};

  // Enters `main_thread` under the name "main thread"; it is the main thread for the whole
  // crash reporter.
  explicit ThreadRegistry(pid_t main_thread);
  ThreadRegistry(const ThreadRegistry&) = delete;
  ThreadRegistry& operator=(const ThreadRegistry&) = delete;

  pid_t MainThread() const { return main_thread_; }

  // Enters the thread, or replaces what was known of it. Entries of ended threads go.
  void Enter(ThreadEntry entry);
  // Gives a known or new thread its name; entries of ended threads go.
  void SetName(pid_t thread, std::string name);
  // Enters one of the crash reporter's own threads: "-", and `trace_name` in trace reports.
  void EnterOwnThread(pid_t thread, std::string trace_name = {});
  void Remove(pid_t thread);

  // What is known of the thread, waiting at most `limit` for the lock.
  ThreadLookup Find(pid_t thread, std::chrono::milliseconds limit = kLookupLimit) const;

  // Every entry, for tests and diagnostics.
  std::vector<ThreadEntry> Entries() const;

 private:
  void DropEndedThreads();  // with the lock held
  std::vector<ThreadEntry>::iterator Locate(pid_t thread);

  const pid_t main_thread_;
  mutable std::timed_mutex mutex_;
  std::vector<ThreadEntry> entries_;
};

// Whether the thread of this process still runs.
bool ThreadAlive(pid_t thread);

// The calling thread's id.
pid_t CurrentThreadId();

}  // namespace userdb::crash
