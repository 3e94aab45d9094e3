// Runs a built program as a user would and collects what it printed.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace userdb::test_support {

struct ProgramResult {
  int exit_code = -1;  // -1 when the program did not end normally
  std::string out;
  std::string err;
};

// Runs `arguments` (the program first) in `working_folder` (unchanged when empty) and
// waits for it to end.
inline ProgramResult RunProgram(const std::vector<std::string>& arguments,
                                const std::string& working_folder = "") {
  int out_pipe[2], err_pipe[2];
  ProgramResult result;
  if (pipe2(out_pipe, O_CLOEXEC) != 0 || pipe2(err_pipe, O_CLOEXEC) != 0) return result;
  const pid_t child = fork();
  if (child == 0) {
    dup2(out_pipe[1], 1);
    dup2(err_pipe[1], 2);
    if (!working_folder.empty() && chdir(working_folder.c_str()) != 0) _exit(126);
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
      argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(out_pipe[1]);
  close(err_pipe[1]);
  pollfd fds[2] = {{out_pipe[0], POLLIN, 0}, {err_pipe[0], POLLIN, 0}};
  std::string* sinks[2] = {&result.out, &result.err};
  int open_streams = 2;
  while (open_streams > 0 && poll(fds, 2, -1) > 0) {
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buffer[4096];
      const ssize_t got = read(fds[i].fd, buffer, sizeof buffer);
      if (got > 0) {
        sinks[i]->append(buffer, static_cast<size_t>(got));
      } else {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open_streams;
      }
    }
  }
  int status = 0;
  if (waitpid(child, &status, 0) == child && WIFEXITED(status)) {
    result.exit_code = WEXITSTATUS(status);
  }
  return result;
}

}  // namespace userdb::test_support
