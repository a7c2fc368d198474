// Runs a program as a child process with its console set up as a test asks:
// standard output to a file, closed, or into a pipe whose reader has gone.
#pragma once

#include <string>
#include <vector>

enum class Console { file, closed, broken_pipe };

struct ChildRun {
  int exit_status = -1;  // -1 when it did not exit normally
  int signal = 0;        // the signal that ended it, if one did
  bool timed_out = false;
  std::string out;  // standard output, when it went to a file
  std::string err;
};

struct ChildSpec {
  std::vector<std::string> argv;
  std::vector<std::string> env;  // NAME=value added to the environment
  Console console = Console::file;
  std::string input;  // standard input; closed when console is
  std::string cwd;    // the folder it starts in, if not ours
  int timeout_seconds = 60;
};

ChildRun run_child(const ChildSpec& spec);

std::string read_file(const std::string& path);
std::vector<std::string> split_lines(const std::string& text);
