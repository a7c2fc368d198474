#include "run_fixture.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "programming_run.h"

void RunFixture::SetUp() {
  port = StandInPort{};
  char pattern[] = "/tmp/burn2051-input-XXXXXX";
  const int fd = mkstemp(pattern);
  ASSERT_NE(fd, -1);
  close(fd);
  input_path_ = pattern;
}

void RunFixture::TearDown() { std::remove(input_path_.c_str()); }

int RunFixture::run(const std::string& input) {
  std::ofstream(input_path_, std::ios::binary) << input;
  EXPECT_NE(std::freopen(input_path_.c_str(), "r", stdin), nullptr);

  FILE* console = std::tmpfile();
  EXPECT_NE(console, nullptr);
  std::fflush(stdout);
  const int saved_stdout = dup(STDOUT_FILENO);
  dup2(fileno(console), STDOUT_FILENO);
  port.console_fd = fileno(console);

  const std::uint64_t started = port.now_ns;
  const int status = programming_run();
  run_took_ns = port.now_ns - started;

  port.sync_console();
  std::fflush(stdout);
  dup2(saved_stdout, STDOUT_FILENO);
  close(saved_stdout);
  port.sync_console();  // anything left unflushed by the run comes last
  port.console_fd = -1;
  std::fclose(console);

  unread_input.clear();
  for (int c; (c = std::getchar()) != EOF;) {
    unread_input += static_cast<char>(c);
  }
  EXPECT_NE(std::freopen("/dev/null", "r", stdin), nullptr);
  return status;
}
