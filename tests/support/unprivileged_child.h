// Runs a piece of a test in a forked child process, so that limits and identities set
// for it (an unprivileged user, a file size or memory limit) end with it.
#pragma once

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <functional>

namespace userdb::test_support {

// The user root drops to, so that permission bits refuse as they do for a normal user.
inline constexpr uid_t kUnprivilegedId = 65534;

// Runs `body` in a child and returns its result (0 to 255), or -1 when the child did not
// end normally. The child leaves with _exit: no test framework code runs twice.
inline int RunInChild(const std::function<int()>& body) {
  const pid_t child = fork();
  if (child == 0) _exit(body());
  int status = 0;
  if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

// As RunInChild; when the tests run as root the child first becomes an unprivileged
// user, whose access the permission bits decide. Files it needs must be open to others.
inline int RunInUnprivilegedChild(const std::function<int()>& body) {
  return RunInChild([&] {
    if (geteuid() == 0 && (setgid(kUnprivilegedId) != 0 || setuid(kUnprivilegedId) != 0)) {
      return 125;
    }
    return body();
  });
}

// As RunInChild, with files limited to `max_bytes` and SIGXFSZ ignored: a write beyond
// the limit comes back short, as on a full disk.
inline int RunWithFileSizeLimit(rlim_t max_bytes, const std::function<int()>& body) {
  return RunInChild([&] {
    const rlimit limit{max_bytes, max_bytes};
    signal(SIGXFSZ, SIG_IGN);
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) return 125;
    return body();
  });
}

// As RunInChild, with the child's address space limited to `extra_bytes` beyond what it
// uses at the start: a large allocation fails with std::bad_alloc. Under
// AddressSanitizer, whose shadow memory needs the address space, there is no limit.
inline int RunWithMemoryLimit(rlim_t extra_bytes, const std::function<int()>& body) {
  return RunInChild([&] {
#ifdef __SANITIZE_ADDRESS__
    (void)extra_bytes;
#else
    rlim_t pages = 0;
    std::ifstream("/proc/self/statm") >> pages;
    const rlim_t bytes = pages * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) + extra_bytes;
    const rlimit limit{bytes, bytes};
    if (pages == 0 || setrlimit(RLIMIT_AS, &limit) != 0) return 125;
#endif
    return body();
  });
}

}  // namespace userdb::test_support
