#include "crash/report/compose_bug_report.h"

#include <sys/resource.h>

#include "crash/capture/thread_registry.h"
#include "crash/report/report_header_builder.h"
#include "crash/report/report_worker.h"

namespace userdb::crash {

namespace {

constexpr std::chrono::milliseconds kWaitPoll{50};
constexpr int kAboveNormalNice = -1;
constexpr int kHighestNice = -20;

// Where the system allows it: lowering a nice value takes a privilege.
void SetThreadNice(pid_t thread, int nice) {
  setpriority(PRIO_PROCESS, static_cast<id_t>(thread), nice);
}

}  // namespace

void StartBugReport(CaughtException& exception, WorkerPlacement placement) {
  BugReport& report = exception.Report();
  {
    // A caller that finds the report started also finds its work running, so that one who
    // needs the complete report waits for it.
    std::lock_guard lock(report.StartMutex());
    if (report.Started()) return;
    BuildReportHeader(exception);
    BuildSectionList(exception);
    if (placement == WorkerPlacement::kCallingThread) {
      report.MarkWorking(true);
      report.SetWorkerThreadId(CurrentThreadId());
    } else {
      ThreadRegistry& registry = *exception.Services()->threads;
      report.StartWorker([&exception, &registry] {
        const pid_t self = CurrentThreadId();
        registry.EnterOwnThread(self);
        exception.Report().SetWorkerThreadId(self);
        SetThreadNice(self, kAboveNormalNice);
        RunReportWorker(exception);
        registry.Remove(self);
      });
    }
    report.MarkStarted();
  }
  if (placement == WorkerPlacement::kCallingThread) {
    RunReportWorker(exception);
    report.MarkWorking(false);
  }
}

std::string ComposeBugReport(CaughtException& exception, bool must_be_complete) {
  BugReport& report = exception.Report();
  if (!exception.Facts().create_bug_report || exception.Services() == nullptr) {
    return report.CachedText();
  }
  if (report.CachedText().empty() || (must_be_complete && !report.Complete())) {
    if (!report.Started()) StartBugReport(exception, WorkerPlacement::kCallingThread);
    // The worker's own callbacks get the report as it is: it cannot wait for itself.
    const auto worker = report.WorkerThreadId();
    if (must_be_complete && report.WorkerRunning() && worker != CurrentThreadId()) {
      if (worker) SetThreadNice(*worker, kHighestNice);
      report.AwaitWorker(kCompleteReportWait, kWaitPoll);
    }
  }
  return report.Text();
}

}  // namespace userdb::crash
