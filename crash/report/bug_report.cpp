#include "crash/report/bug_report.h"

#include "crash/report/report_text.h"

namespace userdb::crash {

BugReport::BugReport(std::function<void()> announce) : announce_(std::move(announce)) {}

BugReport::~BugReport() {
  StopWorker();
}

void BugReport::PutHeader(std::string_view name, std::string_view value) {
  bool changed;
  {
    std::lock_guard lock(lists_mutex_);
    changed = header_.Put(name, value);
  }
  if (changed) Changed();
}

void BugReport::PutSection(std::string_view title, std::string_view content) {
  ReplaceSection(title, title, content);
}

void BugReport::ReplaceSection(std::string_view title, std::string_view new_title,
                               std::string_view content) {
  bool changed;
  {
    std::lock_guard lock(lists_mutex_);
    changed = sections_.Replace(title, new_title, content);
  }
  if (changed) Changed();
}

std::optional<std::string> BugReport::Header(std::string_view name) const {
  std::lock_guard lock(lists_mutex_);
  const auto value = header_.Find(name);
  return value ? std::optional<std::string>(*value) : std::nullopt;
}

std::optional<std::string> BugReport::Section(std::string_view title) const {
  std::lock_guard lock(lists_mutex_);
  const auto value = sections_.Find(title);
  return value ? std::optional<std::string>(*value) : std::nullopt;
}

std::vector<ReportEntry> BugReport::HeaderEntries() const {
  std::lock_guard lock(lists_mutex_);
  return header_.Items();
}

std::vector<ReportEntry> BugReport::SectionEntries() const {
  std::lock_guard lock(lists_mutex_);
  return sections_.Items();
}

void BugReport::SetHeaderInsertionPoint(size_t index) {
  std::lock_guard lock(lists_mutex_);
  header_.SetInsertionPoint(index);
}

void BugReport::BeginUpdate() {
  ++update_depth_;
}

void BugReport::EndUpdate() {
  if (--update_depth_ == 0 && changed_in_bracket_.exchange(false)) Announce();
}

void BugReport::Changed() {
  if (update_depth_ > 0) {
    changed_in_bracket_ = true;
  } else {
    Announce();
  }
}

void BugReport::Announce() {
  {
    std::lock_guard lock(report_mutex_);
    ++change_count_;
    cached_text_.reset();
  }
  if (announce_) announce_();
}

uint64_t BugReport::ChangeCount() const {
  return change_count_;
}

std::string BugReport::Text() {
  uint64_t count;
  {
    std::lock_guard lock(report_mutex_);
    if (cached_text_ && cached_count_ == change_count_) return *cached_text_;
    count = change_count_;
  }
  std::string text;
  {
    std::lock_guard lock(lists_mutex_);
    text = ComposeReportText(header_.Items(), sections_.Items());
  }
  std::lock_guard lock(report_mutex_);
  // A change meanwhile makes this text stale: it is returned, not kept.
  if (count == change_count_) {
    cached_text_ = text;
    cached_count_ = count;
  }
  return text;
}

std::string BugReport::CachedText() const {
  std::lock_guard lock(report_mutex_);
  return cached_text_.value_or("");
}

void BugReport::StartWorker(std::function<void()> work) {
  worker_done_ = false;
  worker_ = std::thread([this, work = std::move(work)] {
    work();
    worker_done_ = true;
  });
}

bool BugReport::WorkerRunning() const {
  return !worker_done_;
}

std::optional<pid_t> BugReport::WorkerThreadId() const {
  const pid_t id = worker_id_;
  return id != 0 ? std::optional<pid_t>(id) : std::nullopt;
}

bool BugReport::AwaitWorker(std::chrono::milliseconds limit, std::chrono::milliseconds poll) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!worker_done_) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(poll);
  }
  return true;
}

void BugReport::StopWorker() {
  stop_ = true;
  if (worker_.joinable()) worker_.join();
}

}  // namespace userdb::crash
