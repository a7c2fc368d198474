#include "programming_run.h"

#include <cstdint>
#include <cstdio>

#include "builtin_image.h"
#include "port/port.h"

namespace {

// A console line goes out at once, before the next port write.
void print_line(const char* text) {
  std::fputs(text, stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

void print_progress(int counter) {
  std::printf("write ok %d\n", counter);
  std::fflush(stdout);
}

// A board that has not dropped the ready line within this time is taken as
// absent or broken. The clock counts whole milliseconds, so the wait gives up
// only once more than this has passed on it: at least the full time.
constexpr std::uint64_t ready_timeout_ms = 2000;
// The clock is read once every this many status polls, so the poll stays a
// tight loop of port reads.
constexpr unsigned polls_per_clock_check = 256;

// The board may still show the level from before the last pulse on the first
// read, so that read is thrown away. Ready is status bit 6 at 0.
bool wait_ready() {
  const std::uint64_t start = monotonic_ms();
  port_read(0x379);
  for (unsigned polls = 1;; ++polls) {
    if ((port_read(0x379) & 0x40) == 0) {
      return true;
    }
    if (polls % polls_per_clock_check == 0 &&
        monotonic_ms() - start > ready_timeout_ms) {
      return false;
    }
  }
}

int give_up_not_ready() {
  port_write(0x37A, 0x08);
  print_line("Error! Programmer not ready! Press any key to exit... ");
  std::getchar();
  return run_failed;
}

}  // namespace

int programming_run() {
  print_line("Load LPT driver GiveIO.sys");
  if (!acquire_port_access()) {
    print_line("Error! Can't open driver! Press any key to exit... ");
    std::getchar();
    return run_failed;
  }

  port_write(0x378, 0x00);
  port_write(0x37A, 0x06);
  pause_ms(10);
  port_write(0x37A, 0x02);
  if (!wait_ready()) {
    return give_up_not_ready();
  }
  port_write(0x37A, 0x00);
  print_line("erase OK");
  pause_ms(3000);

  port_write(0x37A, 0x0A);
  for (int i = 0; i < static_cast<int>(builtin_image.size()); ++i) {
    port_write(0x378, builtin_image[static_cast<std::size_t>(i)]);
    port_write(0x37A, 0x0E);
    if (!wait_ready()) {
      return give_up_not_ready();
    }
    pause_ms(2);
    print_progress(i);
    port_write(0x37A, 0x0B);
  }

  print_line("FINISH");
  port_write(0x37A, 0x08);
  std::getchar();
  return run_finished;
}
