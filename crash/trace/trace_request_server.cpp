#include "crash/trace/trace_request_server.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "crash/trace/trace_protocol.h"
#include "platform/signal_action.h"

namespace userdb::crash {

namespace {

// What the signal handler needs: the pipe to the serving thread. What VostrelTraceProcess
// needs: the target. Both are set while a server lives.
std::atomic<int> request_pipe{-1};
std::atomic<TraceTarget*> installed_target{nullptr};

struct Request {
  int32_t stop;  // 1 ends the serving thread
  int32_t max_length;
};

int TraceRequestSignal() {
  return SIGRTMIN + kTraceRequestSignalOffset;
}

// Async-signal-safe: checks the sender and writes the request into the pipe.
void OnTraceRequest(int /*signal*/, siginfo_t* info, void* /*context*/) {
  const int saved_errno = errno;
  const int pipe_end = request_pipe.load();
  if (pipe_end >= 0 && info->si_code == SI_QUEUE && info->si_uid == getuid()) {
    const Request request{0, info->si_value.sival_int};
    [[maybe_unused]] const ssize_t written = write(pipe_end, &request, sizeof request);
  }
  errno = saved_errno;
}

void Answer(TraceAnswer answer, const std::string& text, int32_t max_length) {
  const platform::UniqueFd memory(
      shm_open(TraceMapName(getpid()).c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW, 0));
  if (!memory.Valid()) return;
  struct stat status;
  // Only the user's own object, of a size that can be mapped.
  if (fstat(memory.Get(), &status) != 0 || status.st_uid != getuid() ||
      (status.st_mode & 077) != 0 || status.st_size <= 0) {
    return;
  }
  const auto size = static_cast<size_t>(status.st_size);
  void* const view = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, memory.Get(), 0);
  if (view == MAP_FAILED) return;
  WriteTraceAnswer(std::span(static_cast<char*>(view), size), answer, text, max_length);
  munmap(view, size);
}

// Blocks or unblocks the trace request signal for the calling thread.
void MaskTraceRequests(int how) {
  sigset_t request;
  sigemptyset(&request);
  sigaddset(&request, TraceRequestSignal());
  pthread_sigmask(how, &request, nullptr);
}

}  // namespace

TraceRequestServer::TraceRequestServer(TraceTarget& target, ThreadRegistry& threads)
    : threads_(threads) {
  int ends[2];
  if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) return;
  read_end_.Reset(ends[0]);
  write_end_.Reset(ends[1]);
  installed_target.store(&target);
  request_pipe.store(write_end_.Get());
  // The request is sent to the process, and the kernel hands such a signal to any thread that
  // does not block it: the main thread first. Its handler there would wake that thread from
  // its wait before the report takes its registers. Blocked here, it stays blocked in every
  // thread that this one and its threads create from now on (the crash reporter is set up
  // first in main); the serving thread alone takes it.
  MaskTraceRequests(SIG_BLOCK);
  thread_ = std::thread([this] {
    MaskTraceRequests(SIG_UNBLOCK);
    Serve();
  });
  platform::InstallSignalHandler(TraceRequestSignal(), &OnTraceRequest);
}

TraceRequestServer::~TraceRequestServer() {
  if (!thread_.joinable()) return;
  // Ignored from now on: a request that comes after all ends nothing, and the tool sees that
  // the signal is no longer caught.
  platform::IgnoreSignal(TraceRequestSignal());
  request_pipe.store(-1);
  const Request stop{1, 0};
  [[maybe_unused]] const ssize_t written = write(write_end_.Get(), &stop, sizeof stop);
  // A report being answered is finished first; its parts are bounded.
  thread_.join();
  installed_target.store(nullptr);
}

void TraceRequestServer::Serve() {
  threads_.EnterOwnThread(CurrentThreadId());
  while (true) {
    pollfd ready{read_end_.Get(), POLLIN, 0};
    if (poll(&ready, 1, -1) < 0 && errno != EINTR) return;
    Request request;
    const ssize_t got = read(read_end_.Get(), &request, sizeof request);
    if (got != static_cast<ssize_t>(sizeof request)) continue;
    if (request.stop != 0) return;
    VostrelTraceProcess(request.max_length);
  }
}

}  // namespace userdb::crash

extern "C" __attribute__((visibility("default"))) int32_t VostrelTraceProcess(int32_t max_length) {
  using namespace userdb::crash;
  TraceTarget* const target = installed_target.load();
  if (target == nullptr) return 0;
  const std::string text = target->TraceReport();
  if (max_length < 1) {
    Answer(target->PutOnClipboard(text) ? TraceAnswer::kPutOnClipboard : TraceAnswer::kNoClipboard,
           {}, max_length);
  } else {
    Answer(TraceAnswer::kReportWritten, text, max_length);
  }
  return 0;
}
