// Child processes on Linux: posix_spawnp with redirected standard streams.
#include "child_process_linux.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

extern char** environ;

namespace corvane {
namespace {

void ReadAll(int fd, std::string* out) {
  char chunk[4096];
  for (;;) {
    const ssize_t n = read(fd, chunk, sizeof chunk);
    if (n > 0) {
      out->append(chunk, static_cast<size_t>(n));
    } else if (n == 0 || errno != EINTR) {
      return;
    }
  }
}

}  // namespace

ChildResult RunChild(const std::vector<std::string>& argv, bool capture_output) {
  ChildResult result;
  if (argv.empty()) return result;
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);

  int pipe_fds[2] = {-1, -1};
  if (capture_output && pipe2(pipe_fds, O_CLOEXEC) != 0) return result;

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  if (capture_output) {
    posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], STDOUT_FILENO);
  } else {
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  }
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);

  pid_t pid = 0;
  const int spawn_error = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (capture_output) close(pipe_fds[1]);
  if (spawn_error != 0) {
    if (capture_output) close(pipe_fds[0]);
    return result;
  }
  result.started = true;
  if (capture_output) {
    ReadAll(pipe_fds[0], &result.output);
    close(pipe_fds[0]);
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return result;
  }
  if (WIFEXITED(status)) result.exit_status = WEXITSTATUS(status);
  return result;
}

}  // namespace corvane
