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

std::uint64_t to_ms(const timespec& t) {
  return static_cast<std::uint64_t>(t.tv_sec) * 1000u +
         static_cast<std::uint64_t>(t.tv_nsec) / 1000000u;
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

void pause_ms(unsigned ms) {
  timespec deadline{};
  clock_gettime(CLOCK_MONOTONIC, &deadline);
  deadline.tv_sec += static_cast<time_t>(ms / 1000u);
  deadline.tv_nsec += static_cast<long>(ms % 1000u) * 1000000L;
  if (deadline.tv_nsec >= 1000000000L) {
    deadline.tv_sec += 1;
    deadline.tv_nsec -= 1000000000L;
  }
  // Sleeping to an absolute deadline makes an interrupted sleep simply go on.
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) ==
         EINTR) {
  }
}

std::uint64_t monotonic_ms() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return to_ms(now);
}
