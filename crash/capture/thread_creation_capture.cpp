#include "crash/capture/thread_creation_capture.h"

#include "crash/capture/alternate_signal_stack.h"
#include "crash/capture/exception_object.h"
#include "crash/capture/thread_top.h"

#include <cxxabi.h>
#include <dlfcn.h>
#include <pthread.h>
#include <unwind.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>
#include <thread>
#include <typeinfo>
#include <vector>

namespace userdb::crash {

namespace {

using StartRoutine = void* (*)(void*);
using CreateFunction = int (*)(pthread_t*, const pthread_attr_t*, StartRoutine, void*);

// The registry of the installed capture, and how many threads are using it at this moment:
// the capture's end waits for them, so that no thread enters into a registry that is gone.
std::atomic<ThreadRegistry*> installed_registry{nullptr};
std::atomic<int> registry_users{0};

class RegistryUse {
 public:
  RegistryUse() {
    registry_users.fetch_add(1);
    registry_ = installed_registry.load();
  }
  ~RegistryUse() { registry_users.fetch_sub(1); }
  RegistryUse(const RegistryUse&) = delete;
  RegistryUse& operator=(const RegistryUse&) = delete;
  ThreadRegistry* Registry() const { return registry_; }

 private:
  ThreadRegistry* registry_;
};

// QThread::start(QThread::Priority): its thread argument is the QThread object.
constexpr std::string_view kQThreadStart = "_ZN7QThread5startENS_8PriorityE";

// Modules whose frames are the run-time's own thread-start code, not the creating code.
bool IsRuntimeModule(std::string_view path) {
  const std::string_view name = path.substr(path.rfind('/') + 1);
  for (const std::string_view runtime : {"libstdc++", "libQt6Core", "libc.so", "libc-", "libasan",
                                         "libpthread", "libtsan", "libubsan"}) {
    if (name.starts_with(runtime)) return true;
  }
  return false;
}

struct CreationSite {
  std::vector<uintptr_t> frames;
  bool through_qthread_start = false;
};

// Frames kept past the run-times' modules: enough to get past a thread class's own code.
constexpr size_t kCreationFrames = 6;

struct Walk {
  CreationSite site;
  int frame = 0;
};

_Unwind_Reason_Code VisitFrame(_Unwind_Context* context, void* argument) {
  auto& walk = *static_cast<Walk*>(argument);
  constexpr int kFrameLimit = 24;
  if (walk.site.frames.size() >= kCreationFrames || ++walk.frame > kFrameLimit) {
    return _URC_END_OF_STACK;
  }
  if (walk.frame <= 2) return _URC_NO_REASON;  // this walk and the interposed pthread_create
  const uintptr_t address = _Unwind_GetIP(context);
  if (address == 0) return _URC_END_OF_STACK;
  Dl_info info{};
  if (walk.site.frames.empty() && dladdr(reinterpret_cast<void*>(address - 1), &info) != 0 &&
      info.dli_fname != nullptr && IsRuntimeModule(info.dli_fname)) {
    // Only QThread::start's own call passes the QThread object as the argument.
    if (walk.frame == 3 && info.dli_sname != nullptr && info.dli_sname == kQThreadStart) {
      walk.site.through_qthread_start = true;
    }
    return _URC_NO_REASON;
  }
  walk.site.frames.push_back(address);
  return _URC_NO_REASON;
}

__attribute__((noinline)) CreationSite FindCreationSite() {
  Walk walk;
  _Unwind_Backtrace(&VisitFrame, &walk);
  return walk.site;
}

struct StartRecord {
  StartRoutine routine = nullptr;
  void* argument = nullptr;
  ThreadEntry entry;  // all but the thread's own id
};

void* StartCapturedThread(void* argument) {
  std::unique_ptr<StartRecord> record(static_cast<StartRecord*>(argument));
  const pid_t self = CurrentThreadId();
  {
    RegistryUse use;
    if (use.Registry() != nullptr) {
      record->entry.id = self;
      use.Registry()->Enter(std::move(record->entry));
    }
  }
  const StartRoutine routine = record->routine;
  void* const routine_argument = record->argument;
  record.reset();
  // Leaves the registry however the thread function ends (pthread_exit and cancellation
  // unwind through here too).
  struct LeaveRegistry {
    pid_t thread;
    ~LeaveRegistry() {
      RegistryUse use;
      if (use.Registry() != nullptr) use.Registry()->Remove(thread);
    }
  } leave{self};
  AlternateSignalStack signal_stack;
  return RunThreadFunction(routine, routine_argument);
}

CreateFunction RealPthreadCreate() {
  return reinterpret_cast<CreateFunction>(dlsym(RTLD_NEXT, "pthread_create"));
}

}  // namespace

std::string PolymorphicClassName(const void* object) {
  if (object == nullptr) return {};
  // The Itanium C++ ABI: an object's first word points to its virtual table, whose entry
  // before the first holds the class's type_info.
  const auto* const* vtable = *static_cast<const void* const* const*>(object);
  if (vtable == nullptr) return {};
  const auto* type = static_cast<const std::type_info*>(vtable[-1]);
  if (type == nullptr) return {};
  return ClassNameOf(*type);
}

ThreadCreationCapture::ThreadCreationCapture(ThreadRegistry& registry) {
  installed_registry.store(&registry);
}

ThreadCreationCapture::~ThreadCreationCapture() {
  installed_registry.store(nullptr);
  // A thread that took the registry just before holds it for a moment only.
  const auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(200);
  while (registry_users.load() != 0 && std::chrono::steady_clock::now() < limit) {
    std::this_thread::yield();
  }
}

}  // namespace userdb::crash

using userdb::crash::CurrentThreadId;
using userdb::crash::FindCreationSite;
using userdb::crash::PolymorphicClassName;
using userdb::crash::RealPthreadCreate;
using userdb::crash::RegistryUse;
using userdb::crash::StartCapturedThread;
using userdb::crash::StartRecord;

// The interposed thread creation; see the header.
extern "C" __attribute__((visibility("default"))) int pthread_create(
    pthread_t* thread, const pthread_attr_t* attributes, void* (*routine)(void*), void* argument) {
  const auto real = RealPthreadCreate();
  if (real == nullptr) return EAGAIN;
  RegistryUse use;
  if (use.Registry() == nullptr) return real(thread, attributes, routine, argument);

  auto record = std::make_unique<StartRecord>();
  record->routine = routine;
  record->argument = argument;
  const auto site = FindCreationSite();
  record->entry.creation_frames = site.frames;
  record->entry.creator_id = CurrentThreadId();
  if (site.through_qthread_start) record->entry.class_name = PolymorphicClassName(argument);
  const int result = real(thread, attributes, &StartCapturedThread, record.get());
  if (result == 0) record.release();
  return result;
}
