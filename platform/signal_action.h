// Handlers of signals that the crash reporter asks its own process's threads with.
#pragma once

#include <signal.h>

namespace userdb::platform {

// Installs `handler` for `signal` with its signal information, restarting interrupted calls.
void InstallSignalHandler(int signal, void (*handler)(int, siginfo_t*, void*));

// The signal is ignored from now on: a real-time signal's default action would end the
// process, should one still come.
void IgnoreSignal(int signal);

}  // namespace userdb::platform
