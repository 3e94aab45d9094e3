// The state of one caught exception's bug report: the header and the sections, the cached
// text with its change counter, the complete flag and what the report worker keeps while it
// fills in the placeholders. Any thread may read and change it: the two lists take the list
// lock, the cached text and the counter the report lock.
//
// Every change outside an update bracket counts, drops the cached text and is announced (the
// exception's report callbacks run, on the changing thread); changes inside nested brackets
// are announced once, when the outermost bracket closes.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "crash/report/call_stack_text.h"
#include "crash/report/report_entries.h"
#include "crash/report/stack_tracer.h"

namespace userdb::crash {

// The placeholder texts of a report that is not complete yet.
inline constexpr std::string_view kHeaderPlaceholder = "will be calculated soon";
inline constexpr std::string_view kSectionPlaceholder = ">> will be calculated soon";
inline constexpr std::string_view kStackPlaceholder = ">> stack will be calculated soon";
inline constexpr std::string_view kStackNotAccessible = ">> stack not accessible";

class BugReport {
 public:
  explicit BugReport(std::function<void()> announce);
  ~BugReport();
  BugReport(const BugReport&) = delete;
  BugReport& operator=(const BugReport&) = delete;

  // The lists, with the rules of ReportEntries.
  void PutHeader(std::string_view name, std::string_view value);
  void PutSection(std::string_view title, std::string_view content);
  void ReplaceSection(std::string_view title, std::string_view new_title, std::string_view content);
  std::optional<std::string> Header(std::string_view name) const;
  std::optional<std::string> Section(std::string_view title) const;
  std::vector<ReportEntry> HeaderEntries() const;
  std::vector<ReportEntry> SectionEntries() const;
  // Header entries added from now on go to this place (see ReportEntries).
  void SetHeaderInsertionPoint(size_t index);
  // Whether the header and section list have been built.
  bool Started() const { return started_; }
  void MarkStarted() { started_ = true; }
  // Held while the lists are built, so that they are built once.
  std::mutex& StartMutex() { return start_mutex_; }

  class UpdateBracket {
   public:
    explicit UpdateBracket(BugReport& report) : report_(report) { report_.BeginUpdate(); }
    ~UpdateBracket() { report_.EndUpdate(); }
    UpdateBracket(const UpdateBracket&) = delete;
    UpdateBracket& operator=(const UpdateBracket&) = delete;

   private:
    BugReport& report_;
  };
  void BeginUpdate();
  void EndUpdate();

  uint64_t ChangeCount() const;
  // The report's text, composed at most once per change.
  std::string Text();
  // The text cached since the last change; empty when there is none.
  std::string CachedText() const;

  bool Complete() const { return complete_; }
  void MarkComplete() { complete_ = true; }
  int Pending() const { return pending_; }
  void AddPending() { ++pending_; }
  // Tells whether that was the last one.
  bool ReplacedPending() { return --pending_ == 0; }

  void SetChecksums(const ReportChecksums& checksums) { checksums_ = checksums; }
  ReportChecksums Checksums() const { return checksums_; }

  // The thread stack list; written while the report is started, read by the worker.
  std::vector<ThreadStackEntry>& Threads() { return threads_; }

  // The worker: its thread when it runs on one of its own, and the stop flag it tests
  // between its parts. The work counts as running from StartWorker or MarkWorking on.
  void StartWorker(std::function<void()> work);
  void MarkWorking(bool working) { worker_done_ = !working; }
  bool WorkerRunning() const;
  std::optional<pid_t> WorkerThreadId() const;
  void SetWorkerThreadId(pid_t id) { worker_id_ = id; }
  // Waits until the worker has finished, at most `limit`; tells whether it has.
  bool AwaitWorker(std::chrono::milliseconds limit, std::chrono::milliseconds poll);
  bool StopRequested() const { return stop_; }
  const std::atomic<bool>& StopFlag() const { return stop_; }
  // Sets the stop flag and waits for the worker.
  void StopWorker();

 private:
  void Changed();
  void Announce();

  const std::function<void()> announce_;
  mutable std::mutex lists_mutex_;
  ReportEntries header_;
  ReportEntries sections_;
  mutable std::mutex report_mutex_;
  std::atomic<uint64_t> change_count_{0};
  std::optional<std::string> cached_text_;
  uint64_t cached_count_ = 0;
  std::atomic<int> update_depth_{0};
  std::atomic<bool> changed_in_bracket_{false};
  std::mutex start_mutex_;
  std::atomic<bool> started_{false};
  std::atomic<bool> complete_{false};
  std::atomic<int> pending_{0};
  ReportChecksums checksums_;
  std::vector<ThreadStackEntry> threads_;
  std::thread worker_;
  std::atomic<bool> worker_done_{true};
  std::atomic<pid_t> worker_id_{0};
  std::atomic<bool> stop_{false};
};

}  // namespace userdb::crash
