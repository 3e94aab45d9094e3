#include "crash/capture/process_spawn.h"

#include <signal.h>
#include <spawn.h>

#include <cerrno>

namespace userdb::crash {

std::optional<pid_t> SpawnProgram(const SpawnRequest& request) {
  posix_spawnattr_t attributes;
  posix_spawn_file_actions_t actions;
  posix_spawnattr_init(&attributes);
  posix_spawn_file_actions_init(&actions);
  sigset_t all, none;
  sigfillset(&all);
  sigdelset(&all, SIGKILL);
  sigdelset(&all, SIGSTOP);
  sigemptyset(&none);
  posix_spawnattr_setsigdefault(&attributes, &all);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
  if (request.standard_input >= 0) {
    posix_spawn_file_actions_adddup2(&actions, request.standard_input, 0);
  }
  if (request.standard_output >= 0) {
    posix_spawn_file_actions_adddup2(&actions, request.standard_output, 1);
  }
  std::vector<char*> argv;
  for (const std::string& argument : request.arguments) {
    argv.push_back(const_cast<char*>(argument.c_str()));
  }
  argv.push_back(nullptr);
  pid_t child = 0;
  const int failed =
      posix_spawn(&child, request.program.c_str(), &actions, &attributes, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  if (failed != 0) {
    errno = failed;
    return std::nullopt;
  }
  return child;
}

}  // namespace userdb::crash
