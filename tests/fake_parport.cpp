// A stand-in for the kernel's parallel-port device, preloaded into burn2051:
// it takes over open() of /dev/parport0 and the ppdev ioctls on it, answers
// them from the simulated board on the real clock, and logs every operation
// to the file named by FAKE_PARPORT_LOG. Other settings:
//   FAKE_PARPORT_OPEN_ERRNO   open fails with this errno
//   FAKE_PARPORT_CLAIM_ERRNO  PPCLAIM fails with this errno
//   FAKE_PARPORT_NEVER_READY  the ready line never drops
//   FAKE_PARPORT_STATUS_ERRNO PPRSTATUS fails with this errno
//   FAKE_PARPORT_SIGNAL_EVERY_US  a signal (SIGALRM, caught and ignored)
//                             interrupts the program this often
// Each port write notes how much of standard output has reached the system
// ("out=N"). The device itself is an anonymous memory file, so any byte
// written to it by mistake shows in the final "device-bytes" line.

#include <dlfcn.h>
#include <fcntl.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <string>

#include "board_log.h"

namespace {

using open_fn = int (*)(const char*, int, ...);
using ioctl_fn = int (*)(int, unsigned long, ...);
using close_fn = int (*)(int);

template <class Fn>
Fn next(const char* name) {
  return reinterpret_cast<Fn>(dlsym(RTLD_NEXT, name));
}

int env_int(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::atoi(value) : 0;
}

void append_to_log(const std::string& line) {
  static int log_fd = -1;
  if (log_fd < 0) {
    const char* path = std::getenv("FAKE_PARPORT_LOG");
    if (!path) {
      return;
    }
    log_fd = next<open_fn>("open")(
        path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  }
  const std::string text = line + "\n";
  if (write(log_fd, text.data(), text.size()) < 0) {
    return;
  }
}

// How much of the program's standard output has reached the system.
std::string console_size() {
  struct stat st {};
  if (fstat(STDOUT_FILENO, &st) == 0 && S_ISREG(st.st_mode)) {
    return "out=" + std::to_string(st.st_size);
  }
  return "out=-";
}

volatile sig_atomic_t signals_caught = 0;

void start_signal_storm() {
  const int every_us = env_int("FAKE_PARPORT_SIGNAL_EVERY_US");
  if (every_us <= 0) {
    return;
  }
  struct sigaction action {};
  action.sa_handler = [](int) { signals_caught = signals_caught + 1; };
  sigaction(SIGALRM, &action, nullptr);  // no SA_RESTART: sleeps are cut
  const itimerval timer{{0, every_us}, {0, every_us}};
  setitimer(ITIMER_REAL, &timer, nullptr);
}

struct FakeDevice {
  FakeDevice() { start_signal_storm(); }

  int fd = -1;
  bool claimed = false;
  BoardLog board{append_to_log};
  void write(std::uint16_t port, unsigned char value) {
    board.write(port, value, console_size() + (claimed ? "" : " unclaimed"));
  }

  ~FakeDevice() {
    if (fd < 0) {
      return;
    }
    struct stat st {};
    fstat(fd, &st);
    board.line("device-bytes " + std::to_string(st.st_size));
    board.line("signals " + std::to_string(signals_caught));
    board.report();
  }
};

FakeDevice device;

int open_device(int flags) {
  device.board.never_ready = env_int("FAKE_PARPORT_NEVER_READY") != 0;
  device.board.line(std::string("open ") +
                    ((flags & O_ACCMODE) == O_RDWR ? "rdwr" : "not-rdwr"));
  if (const int error = env_int("FAKE_PARPORT_OPEN_ERRNO")) {
    errno = error;
    return -1;
  }
  device.fd =
      memfd_create("fake-parport0", (flags & O_CLOEXEC) ? MFD_CLOEXEC : 0);
  return device.fd;
}

int device_ioctl(unsigned long request, void* arg) {
  auto* byte = static_cast<unsigned char*>(arg);
  switch (request) {
    case PPCLAIM:
      if (const int error = env_int("FAKE_PARPORT_CLAIM_ERRNO")) {
        device.board.line("claim refused");
        errno = error;
        return -1;
      }
      device.claimed = true;
      device.board.line("claim");
      return 0;
    case PPWDATA:
      device.write(0x378, *byte);
      return 0;
    case PPWCONTROL:
      device.write(0x37A, *byte);
      return 0;
    case PPRSTATUS:
      if (const int error = env_int("FAKE_PARPORT_STATUS_ERRNO")) {
        *byte = 0x00;  // what is left behind must not count as ready
        errno = error;
        return -1;
      }
      *byte = device.board.read(0x379);
      return 0;
    default:
      device.board.line("ioctl " + std::to_string(request));
      errno = EINVAL;
      return -1;
  }
}

bool is_device(const char* path) {
  return path && std::strcmp(path, "/dev/parport0") == 0;
}

// open() and open64() alike: the device, or the C library's own call.
int open_or_forward(const char* real_name, const char* path, int flags,
                    mode_t mode) {
  if (is_device(path)) {
    return open_device(flags);
  }
  return next<open_fn>(real_name)(path, flags, mode);
}

mode_t mode_argument(int flags, va_list args) {
  return (flags & (O_CREAT | O_TMPFILE))
             ? static_cast<mode_t>(va_arg(args, int))
             : 0;
}

}  // namespace

extern "C" {

int open(const char* path, int flags, ...) {
  va_list args;
  va_start(args, flags);
  const mode_t mode = mode_argument(flags, args);
  va_end(args);
  return open_or_forward("open", path, flags, mode);
}

int open64(const char* path, int flags, ...) {
  va_list args;
  va_start(args, flags);
  const mode_t mode = mode_argument(flags, args);
  va_end(args);
  return open_or_forward("open64", path, flags, mode);
}

int ioctl(int fd, unsigned long request, ...) {
  va_list args;
  va_start(args, request);
  void* arg = va_arg(args, void*);
  va_end(args);
  if (fd >= 0 && fd == device.fd) {
    return device_ioctl(request, arg);
  }
  static const ioctl_fn real = next<ioctl_fn>("ioctl");
  return real(fd, request, arg);
}

int close(int fd) {
  if (fd >= 0 && fd == device.fd) {
    device.board.line("close");
    device.fd = -1;
  }
  static const close_fn real = next<close_fn>("close");
  return real(fd);
}

}  // extern "C"
