// A test hook, preloaded into the real programs by the tests (LD_PRELOAD): when the program
// opens an input file named "fail-<failure>.bin", the failure happens right there, in a
// function of its own, so that the crash reporter's report has a raising function to name.
// Nothing of it is part of the shipped programs.
//
//   throw            an Exception in the opening thread
//   eabort           an EAbort (never reported)
//   edbediterror     an EDBEditError (the simple box, no report)
//   segv, fpe, abort a fatal signal in the opening thread
//   worker-throw     a thread whose function throws; the opening goes on after it ended
//   worker-segv      a thread that writes through a null pointer
//   stdthread-throw  a std::thread whose function throws (std::terminate in a worker)
//   qthread-throw    a QThread whose run() throws (Qt turns it into std::terminate)
//   two-threads      two threads that throw at the same moment
//   ten-throws       ten threads one after the other, each throwing
//   freeze           the opening thread sleeps for USERDB_TEST_FREEZE_SECONDS (default 5)
//   handler-fault    the crash reporter's handling faults (its host name look-up), then fpe
//   handler-hang     the crash reporter's handling blocks (writing to standard error), then segv
//
// With USERDB_TEST_HOLD_END naming a file, the program's end (_exit) waits until that file
// exists (at most 60 seconds), so that a test sees what goes on while the program ends.
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <thread>

#include "platform/exception.h"

#ifdef USERDB_HOOK_WITH_QT
#include <QDeadlineTimer>
#include <QThread>
#endif

namespace userdb::test_hook {

class TestFailure : public Exception {
 public:
  TestFailure()
      : Exception(
            "Testfehler: die Datei wurde absichtlich nicht ge\xF6"
            "ffnet") {}
};
class EAbort : public Exception {
 public:
  EAbort() : Exception("Operation aborted") {}
};
class EDBEditError : public Exception {
 public:
  EDBEditError() : Exception("Ung\xFCltige Eingabe im Feld") {}
};

std::atomic<bool> fault_in_host_name{false};
std::atomic<bool> hang_on_standard_error{false};

__attribute__((noinline)) void ThrowTestFailure() {
  throw TestFailure();
}
__attribute__((noinline)) void ThrowSilentAbort() {
  throw EAbort();
}
__attribute__((noinline)) void ThrowEditError() {
  throw EDBEditError();
}
__attribute__((noinline)) void WriteThroughNull() {
  *static_cast<volatile int*>(nullptr) = 42;
}
__attribute__((noinline)) void DivideByZero() {
  volatile int zero = 0;
  volatile int result = 42 / zero;
  (void)result;
}
__attribute__((noinline)) void AbortHere() {
  std::abort();
}

void* ThrowingWorker(void*) {
  ThrowTestFailure();
  return nullptr;
}
void* FaultingWorker(void*) {
  WriteThroughNull();
  return nullptr;
}

void RunWorker(void* (*function)(void*)) {
  pthread_t thread;
  if (pthread_create(&thread, nullptr, function, nullptr) == 0) pthread_join(thread, nullptr);
}

void TwoThreadsAtOnce() {
  static pthread_barrier_t barrier;
  pthread_barrier_init(&barrier, nullptr, 2);
  const auto worker = [](void*) -> void* {
    pthread_barrier_wait(&barrier);
    ThrowTestFailure();
    return nullptr;
  };
  pthread_t first, second;
  pthread_create(&first, nullptr, worker, nullptr);
  pthread_create(&second, nullptr, worker, nullptr);
  pthread_join(first, nullptr);
  pthread_join(second, nullptr);
}

#ifdef USERDB_HOOK_WITH_QT
class FailingWorker : public QThread {
 protected:
  void run() override { ThrowTestFailure(); }
};

void RunFailingQThread() {
  // Left alive: the thread ends without Qt's own finish, and a QThread destroyed while it
  // counts as running ends the program.
  auto* worker = new FailingWorker;
  worker->start();
  worker->wait(QDeadlineTimer(3000));
}
#endif

__attribute__((noinline)) void FreezeHere() {
  const char* seconds = std::getenv("USERDB_TEST_FREEZE_SECONDS");
  sleep(seconds != nullptr ? static_cast<unsigned>(std::atoi(seconds)) : 5);
  // Keeps the call from becoming a jump, so that this function's frame is on the stack.
  asm volatile("" ::: "memory");
}

void Fail(std::string_view failure) {
  if (failure == "throw") ThrowTestFailure();
  if (failure == "eabort") ThrowSilentAbort();
  if (failure == "edbediterror") ThrowEditError();
  if (failure == "segv") WriteThroughNull();
  if (failure == "fpe") DivideByZero();
  if (failure == "abort") AbortHere();
  if (failure == "worker-throw") RunWorker(&ThrowingWorker);
  if (failure == "worker-segv") RunWorker(&FaultingWorker);
  if (failure == "stdthread-throw") std::thread([] { ThrowTestFailure(); }).join();
  if (failure == "two-threads") TwoThreadsAtOnce();
#ifdef USERDB_HOOK_WITH_QT
  if (failure == "qthread-throw") RunFailingQThread();
#endif
  if (failure == "ten-throws") {
    for (int i = 0; i < 10; ++i) RunWorker(&ThrowingWorker);
  }
  if (failure == "freeze") FreezeHere();
  if (failure == "handler-fault") {
    fault_in_host_name = true;
    DivideByZero();
  }
  if (failure == "handler-hang") {
    hang_on_standard_error = true;
    WriteThroughNull();
  }
}

// The crash helper inherits the preload from the program it serves, and is left alone.
bool InCrashHelper() {
  return std::string_view(program_invocation_short_name) == "userdb-crash-helper";
}

// The process the hook was loaded into; a child forked from it (one that ends at once after
// its own fork, as libraries do to start a daemon) is not held.
const pid_t started_process = getpid();

void HoldEnd() {
  const char* release = std::getenv("USERDB_TEST_HOLD_END");
  if (release == nullptr || InCrashHelper() || getpid() != started_process) return;
  for (int i = 0; i < 6000 && access(release, F_OK) != 0; ++i) usleep(10 * 1000);
}

void FailOnDemand(const char* path) {
  // The helper's save dialog lists the test's folder: opening a fail-*.bin there must not
  // make the helper fail.
  if (path == nullptr || InCrashHelper()) return;
  std::string_view name(path);
  name.remove_prefix(name.rfind('/') == std::string_view::npos ? 0 : name.rfind('/') + 1);
  if (!name.starts_with("fail-") || !name.ends_with(".bin")) return;
  name.remove_prefix(5);
  name.remove_suffix(4);
  Fail(name);
}

template <typename Function>
Function Next(const char* name) {
  return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

}  // namespace userdb::test_hook

using userdb::test_hook::FailOnDemand;
using userdb::test_hook::HoldEnd;
using userdb::test_hook::Next;

extern "C" int open(const char* path, int flags, ...) {
  mode_t mode = 0;
  if (flags & (O_CREAT | O_TMPFILE)) {
    va_list arguments;
    va_start(arguments, flags);
    mode = static_cast<mode_t>(va_arg(arguments, int));
    va_end(arguments);
  }
  FailOnDemand(path);
  static const auto real = Next<int (*)(const char*, int, ...)>("open");
  return real(path, flags, mode);
}

extern "C" int open64(const char* path, int flags, ...) {
  mode_t mode = 0;
  if (flags & (O_CREAT | O_TMPFILE)) {
    va_list arguments;
    va_start(arguments, flags);
    mode = static_cast<mode_t>(va_arg(arguments, int));
    va_end(arguments);
  }
  FailOnDemand(path);
  static const auto real = Next<int (*)(const char*, int, ...)>("open64");
  return real(path, flags, mode);
}

extern "C" int gethostname(char* name, size_t length) {
  if (userdb::test_hook::fault_in_host_name) userdb::test_hook::WriteThroughNull();
  static const auto real = Next<int (*)(char*, size_t)>("gethostname");
  return real(name, length);
}

extern "C" int fflush(FILE* stream) {
  if (stream == stderr && userdb::test_hook::hang_on_standard_error) {
    for (;;) pause();
  }
  static const auto real = Next<int (*)(FILE*)>("fflush");
  return real(stream);
}

extern "C" [[noreturn]] void _exit(int status) {
  HoldEnd();
  static const auto real = Next<void (*)(int)>("_exit");
  real(status);
  __builtin_unreachable();
}
