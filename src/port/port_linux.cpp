// Linux binding: the parallel port through the kernel's user-space driver
// (ppdev), so a member of group lp can run the program without root.

#include <fcntl.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "port.h"

namespace {

constexpr const char* device_path = "/dev/parport0";

// The port-access handle: held until the process ends, never closed.
int parport_fd = -1;

void report_refusal(int error) {
  std::fprintf(stderr, "%s: %s\n", device_path, std::strerror(error));
}

// Opening the device while standard input, output or error is closed would
// hand it one of those numbers, and console text would go to the port.
void fill_closed_standard_descriptors() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
      const int null_fd = open("/dev/null", O_RDWR);
      if (null_fd != -1 && null_fd != fd) {
        dup2(null_fd, fd);
        close(null_fd);
      }
    }
  }
}

// How long before a deadline a pause stops sleeping and starts spinning.
constexpr std::int64_t spin_ns = 200000;

std::int64_t now_ns() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return std::int64_t{now.tv_sec} * 1000000000 + now.tv_nsec;
}

timespec to_timespec(std::int64_t ns) {
  timespec t{};
  t.tv_sec = static_cast<time_t>(ns / 1000000000);
  t.tv_nsec = static_cast<long>(ns % 1000000000);
  return t;
}

}  // namespace

void prepare_platform() {
  fill_closed_standard_descriptors();
  // A console write to a reader that has gone fails quietly instead of
  // ending the run halfway through the port sequence.
  std::signal(SIGPIPE, SIG_IGN);
  // Let the kernel wake the pauses as close to their deadline as it can.
  prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
}

bool acquire_port_access() {
  const int fd = open(device_path, O_RDWR | O_CLOEXEC);
  if (fd == -1) {
    report_refusal(errno);
    return false;
  }
  // A shared claim: it keeps other drivers off the port while the program
  // runs, and unlike an exclusive one it also works with lp loaded.
  if (ioctl(fd, PPCLAIM) == -1) {
    const int error = errno;
    close(fd);
    report_refusal(error);
    return false;
  }
  parport_fd = fd;
  return true;
}

void port_write(std::uint16_t port, std::uint8_t value) {
  unsigned char byte = value;
  switch (port) {
    case 0x378:
      ioctl(parport_fd, PPWDATA, &byte);
      break;
    case 0x37A:
      ioctl(parport_fd, PPWCONTROL, &byte);
      break;
    default:
      break;
  }
}

std::uint8_t port_read(std::uint16_t port) {
  // Only the status register is ever read. A failed read gives FFh, which
  // shows a busy board rather than a ready one.
  unsigned char byte = 0xFF;
  if (port != 0x379 || ioctl(parport_fd, PPRSTATUS, &byte) == -1) {
    byte = 0xFF;
  }
  return byte;
}

// The kernel wakes a sleeper some tens of microseconds late, so the pause
// sleeps to just short of its deadline and spins on the clock for the rest.
// Sleeping to an absolute time makes a sleep cut short by a signal simply go
// on.
void pause_ms(unsigned ms) {
  const std::int64_t deadline = now_ns() + std::int64_t{ms} * 1000000;
  const timespec wake = to_timespec(deadline - spin_ns);
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &wake, nullptr) ==
         EINTR) {
  }
  while (now_ns() < deadline) {
  }
}

std::uint64_t monotonic_ms() {
  return static_cast<std::uint64_t>(now_ns() / 1000000);
}
