// Handlers of signals that the crash reporter asks its own process's threads with.
#pragma once

#include <signal.h>
#include <sys/types.h>

#include <cstdint>

namespace userdb::platform {

// Installs `handler` for `signal` with its signal information, restarting interrupted calls.
void InstallSignalHandler(int signal, void (*handler)(int, siginfo_t*, void*));

// The signal is ignored from now on: a real-time signal's default action would end the
// process, should one still come.
void IgnoreSignal(int signal);

// Sends `signal` with `value` to a thread of this process, as sigqueue does to a process; tells
// whether it was sent. Async-signal-safe.
bool QueueSignalToThread(pid_t thread, int signal, uintptr_t value);

// Whether a signal was sent by QueueSignalToThread in this process, not by another process or
// the kernel. Async-signal-safe.
bool QueuedByThisProcess(const siginfo_t& info);

}  // namespace userdb::platform
