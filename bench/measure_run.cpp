// Runs a command and reports its wall time, the processor time it used (user and system) and
// its peak resident memory on one line:
//   wall_seconds=<s> cpu_seconds=<s> peak_rss_kib=<KiB> exit=<status>
// On a busy machine the wall time holds the waits for a processor; the processor time does not.
// Its own standard output goes to /dev/null so that printing does not count.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: measure_run COMMAND [ARGUMENTS...]\n");
    return 2;
  }
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child == 0) {
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    execvp(argv[1], argv + 1);
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (wait4(child, &status, 0, &usage) != child) return 1;
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const auto as_seconds = [](const timeval& time) {
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
  };
  const double cpu_seconds = as_seconds(usage.ru_utime) + as_seconds(usage.ru_stime);
  std::printf("wall_seconds=%.3f cpu_seconds=%.3f peak_rss_kib=%ld exit=%d\n", seconds, cpu_seconds,
              usage.ru_maxrss, WIFEXITED(status) ? WEXITSTATUS(status) : -1);
  return 0;
}
