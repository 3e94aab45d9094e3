#include "crash/capture/thread_registry.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <utility>

namespace userdb::crash {

bool ThreadAlive(pid_t thread) {
  // Signal 0 checks only whether the thread could be signalled.
  return syscall(SYS_tgkill, getpid(), thread, 0) == 0 || errno != ESRCH;
}

pid_t CurrentThreadId() {
  return static_cast<pid_t>(syscall(SYS_gettid));
}

ThreadRegistry::ThreadRegistry(pid_t main_thread) : main_thread_(main_thread) {
  ThreadEntry main;
  main.id = main_thread;
  main.name = std::string(kMainThreadName);
  entries_.push_back(std::move(main));
}

std::vector<ThreadEntry>::iterator ThreadRegistry::Locate(pid_t thread) {
  return std::find_if(entries_.begin(), entries_.end(),
                      [thread](const ThreadEntry& entry) { return entry.id == thread; });
}

void ThreadRegistry::DropEndedThreads() {
  std::erase_if(entries_, [](const ThreadEntry& entry) { return !ThreadAlive(entry.id); });
}

void ThreadRegistry::Enter(ThreadEntry entry) {
  std::lock_guard lock(mutex_);
  DropEndedThreads();
  const auto known = Locate(entry.id);
  if (known != entries_.end()) {
    *known = std::move(entry);
  } else {
    entries_.push_back(std::move(entry));
  }
}

void ThreadRegistry::SetName(pid_t thread, std::string name) {
  std::lock_guard lock(mutex_);
  DropEndedThreads();
  const auto known = Locate(thread);
  if (known != entries_.end()) {
    known->name = std::move(name);
    return;
  }
  ThreadEntry entry;
  entry.id = thread;
  entry.name = std::move(name);
  entries_.push_back(std::move(entry));
}

void ThreadRegistry::EnterOwnThread(pid_t thread, std::string trace_name) {
  std::lock_guard lock(mutex_);
  DropEndedThreads();
  auto known = Locate(thread);
  if (known == entries_.end()) {
    known = entries_.insert(entries_.end(), ThreadEntry());
    known->id = thread;
  }
  known->name = std::string(kOwnThreadName);
  known->trace_name = std::move(trace_name);
}

void ThreadRegistry::Remove(pid_t thread) {
  std::lock_guard lock(mutex_);
  const auto known = Locate(thread);
  if (known != entries_.end()) entries_.erase(known);
}

ThreadLookup ThreadRegistry::Find(pid_t thread, std::chrono::milliseconds limit) const {
  std::unique_lock lock(mutex_, std::defer_lock);
  if (!lock.try_lock_for(limit)) return {};
  ThreadLookup lookup;
  lookup.locked = true;
  for (const ThreadEntry& entry : entries_) {
    if (entry.id == thread) lookup.entry = entry;
  }
  return lookup;
}

std::vector<ThreadEntry> ThreadRegistry::Entries() const {
  std::lock_guard lock(mutex_);
  return entries_;
}

}  // namespace userdb::crash
