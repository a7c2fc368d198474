#include "child_process.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

namespace {

std::string temp_path(const char* what) {
  char pattern[64];
  std::snprintf(pattern, sizeof pattern, "/tmp/burn2051-%s-XXXXXX", what);
  const int fd = mkstemp(pattern);
  if (fd != -1) {
    close(fd);
  }
  return pattern;
}

[[noreturn]] void exec_child(const ChildSpec& spec, const std::string& in,
                             const std::string& out, const std::string& err,
                             int pipe_write_end) {
  // The child starts as a user's shell would start it: SIGPIPE at its
  // default, whatever the test runner has done with it.
  std::signal(SIGPIPE, SIG_DFL);
  const int err_fd = open(err.c_str(), O_WRONLY | O_TRUNC);
  dup2(err_fd, STDERR_FILENO);
  if (spec.console == Console::closed) {
    close(STDIN_FILENO);
    close(STDOUT_FILENO);
  } else {
    const int in_fd = open(in.c_str(), O_RDONLY);
    dup2(in_fd, STDIN_FILENO);
    if (spec.console == Console::file) {
      const int out_fd = open(out.c_str(), O_WRONLY | O_TRUNC);
      dup2(out_fd, STDOUT_FILENO);
    } else {
      dup2(pipe_write_end, STDOUT_FILENO);
    }
  }
  if (!spec.cwd.empty() && chdir(spec.cwd.c_str()) != 0) {
    _exit(126);
  }
  for (const std::string& setting : spec.env) {
    putenv(const_cast<char*>(setting.c_str()));
  }
  std::vector<char*> argv;
  for (const std::string& arg : spec.argv) {
    argv.push_back(const_cast<char*>(arg.c_str()));
  }
  argv.push_back(nullptr);
  execv(argv[0], argv.data());
  _exit(127);
}

}  // namespace

std::string read_file(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

std::vector<std::string> split_lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) {
    lines.push_back(line);
  }
  return lines;
}

ChildRun run_child(const ChildSpec& spec) {
  const std::string in = temp_path("in");
  const std::string out = temp_path("out");
  const std::string err = temp_path("err");
  std::ofstream(in, std::ios::binary) << spec.input;

  int pipe_fds[2] = {-1, -1};
  if (spec.console == Console::broken_pipe && pipe(pipe_fds) != 0) {
    return {};
  }
  const pid_t pid = fork();
  if (pid == 0) {
    close(pipe_fds[0]);
    exec_child(spec, in, out, err, pipe_fds[1]);
  }
  if (spec.console == Console::broken_pipe) {
    close(pipe_fds[0]);  // the reader is gone before the child writes
    close(pipe_fds[1]);
  }

  ChildRun result;
  int status = 0;
  const auto deadline = std::chrono::steady_clock::now() +
                        std::chrono::seconds(spec.timeout_seconds);
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      result.timed_out = true;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  if (WIFEXITED(status)) {
    result.exit_status = WEXITSTATUS(status);
  } else if (WIFSIGNALED(status)) {
    result.signal = WTERMSIG(status);
  }
  result.out = read_file(out);
  result.err = read_file(err);
  std::remove(in.c_str());
  std::remove(out.c_str());
  std::remove(err.c_str());
  return result;
}
