#include "platform/signal_action.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <cstring>

namespace userdb::platform {

void InstallSignalHandler(int signal, void (*handler)(int, siginfo_t*, void*)) {
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_sigaction = handler;
  action.sa_flags = SA_SIGINFO | SA_RESTART;
  sigemptyset(&action.sa_mask);
  sigaction(signal, &action, nullptr);
}

bool QueueSignalToThread(pid_t thread, int signal, uintptr_t value) {
  siginfo_t info;
  std::memset(&info, 0, sizeof info);
  info.si_signo = signal;
  info.si_code = SI_QUEUE;
  info.si_pid = getpid();
  info.si_uid = getuid();
  info.si_value.sival_ptr = reinterpret_cast<void*>(value);
  return syscall(SYS_rt_tgsigqueueinfo, getpid(), thread, signal, &info) == 0;
}

bool QueuedByThisProcess(const siginfo_t& info) {
  return info.si_code == SI_QUEUE && info.si_pid == getpid();
}

void IgnoreSignal(int signal) {
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = SIG_IGN;
  sigemptyset(&action.sa_mask);
  sigaction(signal, &action, nullptr);
}

}  // namespace userdb::platform
