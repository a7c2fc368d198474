#include "stand_in_port.h"

#include <unistd.h>

#include <cstdio>

#include "port/port.h"

StandInPort& stand_in() {
  static StandInPort port;
  return port;
}

void StandInPort::sync_console() {
  if (console_fd < 0) {
    return;
  }
  char buffer[4096];
  for (;;) {
    const ssize_t got = pread(console_fd, buffer, sizeof buffer, console_read);
    if (got <= 0) {
      break;
    }
    console_read += got;
    console_partial.append(buffer, static_cast<std::size_t>(got));
  }
  std::size_t end;
  while ((end = console_partial.find('\n')) != std::string::npos) {
    trace.push_back("line " + console_partial.substr(0, end));
    console_partial.erase(0, end + 1);
  }
}

void StandInPort::record(const std::string& event) {
  sync_console();
  trace.push_back(event);
  reads_in_row = 0;
}

unsigned StandInPort::waits_begun() const {
  return control_writes[0x02] + control_writes[0x0E];
}

namespace {

std::string hex(unsigned value, int digits) {
  char text[8];
  std::snprintf(text, sizeof text, "%0*X", digits, value);
  return text;
}

}  // namespace

void prepare_platform() {}

bool acquire_port_access() {
  ++stand_in().acquire_calls;
  return stand_in().grant_access;
}

void port_write(std::uint16_t port, std::uint8_t value) {
  StandInPort& s = stand_in();
  s.now_ns += StandInPort::access_ns;
  s.record("write " + hex(port, 3) + " " + hex(value, 2));
  if (port == 0x37A) {
    ++s.control_writes[value];
  }
  s.last_write_ns = s.now_ns;
  s.board.write(port, value, s.now_ns);
}

std::uint8_t port_read(std::uint16_t port) {
  StandInPort& s = stand_in();
  s.now_ns += StandInPort::access_ns;
  // A run of reads of one port is one trace entry with a count, since a
  // wait may poll millions of times.
  const std::string event = "read " + hex(port, 3);
  if (s.reads_in_row > 0 && s.trace.back().rfind(event + " x", 0) == 0) {
    s.trace.back() = event + " x" + std::to_string(++s.reads_in_row);
  } else {
    s.record(event + " x1");
    s.reads_in_row = 1;
  }
  const std::uint8_t from_board = s.board.read(port, s.now_ns);
  if (port == 0x379 && s.status_script) {
    return s.status_script(s);
  }
  return from_board;
}

void pause_ms(unsigned ms) {
  StandInPort& s = stand_in();
  s.record("pause " + std::to_string(ms));
  s.now_ns += ms * sim::ns_per_ms;
}

std::uint64_t monotonic_ms() { return stand_in().now_ns / sim::ns_per_ms; }
