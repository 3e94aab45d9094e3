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
//   locked-allocator the opening thread faults inside malloc while it holds the allocator's lock
//                    (the hook is the process's allocator: every later allocation waits on it)
//   locked-loader    the opening thread faults inside a dl_iterate_phdr callback (the loader's
//                    lock held)
//   locked-stderr    the opening thread faults while it holds standard error's lock (as in the
//                    middle of a printf)
//   worker-locked-*  the same in a thread of its own, while the opening goes on
//   two-faults       two threads fault at the same moment, in two places (segv and fpe)
//   late-fault       a thread faults (segv), a second one 50 ms later (fpe)
//
// With USERDB_TEST_HOLD_END naming a file, the program's end (_exit) waits until that file
// exists (at most 60 seconds), so that a test sees what goes on while the program ends.
//
// Failures whose reports tell more than where they happened:
//   worker-foreign-throw   a thread whose function throws std::runtime_error("disk full")
//   await-signal           the opening thread makes "<input>.waiting" and waits in a function
//                          of its own (at most a minute) for a signal that someone sends it
//   terminate              std::terminate() called without an exception
//   overflow               the opening thread recurses until its stack overflows
//   worker-overflow        a thread whose function recurses until its stack overflows
//   progress-worker-throw  once the conversion showed its progress line, a thread whose
//                          function throws; the conversion goes on when the thread ended
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <link.h>
#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <stdexcept>
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

// --- The allocator: the hook stands in front of the C library's, so that a fault can happen
// inside it with its lock held, as a fault in a corrupted heap does.

using Malloc = void* (*)(size_t);
using Free = void (*)(void*);
using Calloc = void* (*)(size_t, size_t);
using Realloc = void* (*)(void*, size_t);
using Memalign = void* (*)(size_t, size_t);
using PosixMemalign = int (*)(void**, size_t, size_t);

struct Allocator {
  Malloc malloc;
  Free free;
  Calloc calloc;
  Realloc realloc;
  Memalign memalign;
  Memalign aligned_alloc;
  PosixMemalign posix_memalign;
};

// What dlsym allocates while the real functions are looked up.
alignas(16) char early_room[64 * 1024];
std::atomic<size_t> early_used{0};
__attribute__((tls_model("initial-exec"))) thread_local bool looking_up = false;

void* EarlyAllocation(size_t size) {
  const size_t at = early_used.fetch_add((size + 15) & ~size_t{15});
  return at + size <= sizeof early_room ? early_room + at : nullptr;
}

bool IsEarly(const void* pointer) {
  return pointer >= early_room && pointer < early_room + sizeof early_room;
}

const Allocator* RealAllocator() {
  static std::atomic<const Allocator*> found{nullptr};
  static Allocator allocator;
  if (const Allocator* known = found.load(std::memory_order_acquire)) return known;
  if (looking_up) return nullptr;
  looking_up = true;
  allocator.malloc = reinterpret_cast<Malloc>(dlsym(RTLD_NEXT, "malloc"));
  allocator.free = reinterpret_cast<Free>(dlsym(RTLD_NEXT, "free"));
  allocator.calloc = reinterpret_cast<Calloc>(dlsym(RTLD_NEXT, "calloc"));
  allocator.realloc = reinterpret_cast<Realloc>(dlsym(RTLD_NEXT, "realloc"));
  allocator.memalign = reinterpret_cast<Memalign>(dlsym(RTLD_NEXT, "memalign"));
  allocator.aligned_alloc = reinterpret_cast<Memalign>(dlsym(RTLD_NEXT, "aligned_alloc"));
  allocator.posix_memalign = reinterpret_cast<PosixMemalign>(dlsym(RTLD_NEXT, "posix_memalign"));
  looking_up = false;
  found.store(&allocator, std::memory_order_release);
  return &allocator;
}

// The allocator's lock, taken only by a thread that is to fault inside the allocator: from then
// on every allocation of any thread waits for it, as for the C library's own lock.
pthread_mutex_t allocator_lock = PTHREAD_MUTEX_INITIALIZER;
std::atomic<bool> allocator_locked{false};
__attribute__((tls_model("initial-exec"))) thread_local bool fault_in_allocator = false;

void EnterAllocator() {
  if (fault_in_allocator) {
    pthread_mutex_lock(&allocator_lock);
    allocator_locked = true;
    *static_cast<volatile int*>(nullptr) = 42;
  }
  if (allocator_locked.load(std::memory_order_acquire)) {
    pthread_mutex_lock(&allocator_lock);
    pthread_mutex_unlock(&allocator_lock);
  }
}

__attribute__((noinline)) void FaultInsideTheAllocator() {
  fault_in_allocator = true;
  // Through a pointer that the compiler cannot see through: an allocation that is freed at once
  // may be left out.
  static void* (*volatile allocate)(size_t) = &std::malloc;
  std::free(allocate(64));
}

// --- The loader's lock and standard error's lock.

int FaultingModuleVisit(dl_phdr_info*, size_t, void*) {
  WriteThroughNull();
  return 0;
}

__attribute__((noinline)) void FaultHoldingTheLoaderLock() {
  dl_iterate_phdr(&FaultingModuleVisit, nullptr);
}

__attribute__((noinline)) void FaultHoldingStandardErrorsLock() {
  flockfile(stderr);
  WriteThroughNull();
}

// A thread of its own faults; the caller goes on once the fault is being handled.
void FaultInAWorkerAndGoOn(void (*fault)()) {
  static void (*chosen)() = nullptr;
  static std::atomic<bool> started{false};
  chosen = fault;
  pthread_t thread;
  if (pthread_create(
          &thread, nullptr,
          [](void*) -> void* {
            started = true;
            chosen();
            return nullptr;
          },
          nullptr) != 0) {
    return;
  }
  pthread_detach(thread);
  while (!started) usleep(1000);
  usleep(300 * 1000);
}

// Two threads that fault, the second `delay_ms` after the first.
void TwoFaults(unsigned delay_ms) {
  static pthread_barrier_t barrier;
  static unsigned delay = 0;
  delay = delay_ms;
  pthread_barrier_init(&barrier, nullptr, 2);
  pthread_t first, second;
  pthread_create(
      &first, nullptr,
      [](void*) -> void* {
        pthread_barrier_wait(&barrier);
        WriteThroughNull();
        return nullptr;
      },
      nullptr);
  pthread_create(
      &second, nullptr,
      [](void*) -> void* {
        pthread_barrier_wait(&barrier);
        usleep(delay * 1000);
        DivideByZero();
        return nullptr;
      },
      nullptr);
  pthread_join(first, nullptr);
  pthread_join(second, nullptr);
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
  if (failure == "locked-allocator") FaultInsideTheAllocator();
  if (failure == "locked-loader") FaultHoldingTheLoaderLock();
  if (failure == "locked-stderr") FaultHoldingStandardErrorsLock();
  if (failure == "worker-locked-allocator") FaultInAWorkerAndGoOn(&FaultInsideTheAllocator);
  if (failure == "worker-locked-loader") FaultInAWorkerAndGoOn(&FaultHoldingTheLoaderLock);
  if (failure == "worker-locked-stderr") FaultInAWorkerAndGoOn(&FaultHoldingStandardErrorsLock);
  if (failure == "two-faults") TwoFaults(0);
  if (failure == "late-fault") TwoFaults(50);
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

// Failures whose reports tell more than where they happened.
std::atomic<bool> throw_once_progress_shown{false};

__attribute__((noinline)) void ThrowForeignException() {
  throw std::runtime_error("disk full");
}
void* ForeignThrowingWorker(void*) {
  ThrowForeignException();
  return nullptr;
}

__attribute__((noinline)) void AwaitSignal(const char* path) {
  const std::string marker = std::string(path) + ".waiting";
  close(::creat(marker.c_str(), 0600));
  for (int second = 0; second < 60; ++second) sleep(1);
  asm volatile("" ::: "memory");
}

__attribute__((noinline)) void TerminateHere() {
  std::terminate();
}

volatile int recursion_limit = 1 << 30;  // never reached: the stack ends first
__attribute__((noinline)) int RecurseForever(int depth) {
  volatile char frame[512];
  frame[0] = static_cast<char>(depth);
  if (depth > recursion_limit) return 0;
  return RecurseForever(depth + 1) + frame[0];
}
void* OverflowingWorker(void*) {
  RecurseForever(0);
  return nullptr;
}

__attribute__((noinline)) void FailForReport(std::string_view failure, const char* path) {
  if (failure == "worker-foreign-throw") RunWorker(&ForeignThrowingWorker);
  if (failure == "await-signal") AwaitSignal(path);
  if (failure == "terminate") TerminateHere();
  if (failure == "overflow") RecurseForever(0);
  if (failure == "worker-overflow") RunWorker(&OverflowingWorker);
  if (failure == "progress-worker-throw") {
    // Past the quiet time of the progress line, which is made before the input is opened.
    throw_once_progress_shown = true;
    usleep(700 * 1000);
  }
}

// The progress line is flushed once it is written.
void FlushedStandardError() {
  if (throw_once_progress_shown.exchange(false)) RunWorker(&ThrowingWorker);
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
  FailForReport(name, path);
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

extern "C" void* malloc(size_t size) {
  userdb::test_hook::EnterAllocator();
  const auto* real = userdb::test_hook::RealAllocator();
  return real != nullptr ? real->malloc(size) : userdb::test_hook::EarlyAllocation(size);
}

extern "C" void free(void* pointer) {
  if (pointer == nullptr || userdb::test_hook::IsEarly(pointer)) return;
  userdb::test_hook::EnterAllocator();
  userdb::test_hook::RealAllocator()->free(pointer);
}

extern "C" void* calloc(size_t count, size_t size) {
  userdb::test_hook::EnterAllocator();
  const auto* real = userdb::test_hook::RealAllocator();
  // The early room is zero: it is never given out twice.
  return real != nullptr ? real->calloc(count, size)
                         : userdb::test_hook::EarlyAllocation(count * size);
}

extern "C" void* realloc(void* pointer, size_t size) {
  userdb::test_hook::EnterAllocator();
  const auto* real = userdb::test_hook::RealAllocator();
  if (!userdb::test_hook::IsEarly(pointer)) return real->realloc(pointer, size);
  void* moved = real->malloc(size);
  const size_t left =
      static_cast<size_t>(userdb::test_hook::early_room + sizeof userdb::test_hook::early_room -
                          static_cast<char*>(pointer));
  if (moved != nullptr) std::memcpy(moved, pointer, std::min(size, left));
  return moved;
}

extern "C" void* memalign(size_t alignment, size_t size) {
  userdb::test_hook::EnterAllocator();
  return userdb::test_hook::RealAllocator()->memalign(alignment, size);
}

extern "C" void* aligned_alloc(size_t alignment, size_t size) {
  userdb::test_hook::EnterAllocator();
  return userdb::test_hook::RealAllocator()->aligned_alloc(alignment, size);
}

extern "C" int posix_memalign(void** pointer, size_t alignment, size_t size) {
  userdb::test_hook::EnterAllocator();
  return userdb::test_hook::RealAllocator()->posix_memalign(pointer, alignment, size);
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
  const int result = real(stream);
  if (stream == stderr) userdb::test_hook::FlushedStandardError();
  return result;
}

extern "C" [[noreturn]] void _exit(int status) {
  HoldEnd();
  static const auto real = Next<void (*)(int)>("_exit");
  real(status);
  __builtin_unreachable();
}
