#include "board_log.h"

#include <cstdio>

#include "chip_report.h"
#include "expected_image.h"

void BoardLog::write(std::uint16_t port, std::uint8_t value,
                     const std::string& note) {
  const std::uint64_t now = now_ns();
  const char* name = port == 0x378   ? "data"
                     : port == 0x37A ? "control"
                                     : "port";
  char text[64];
  std::snprintf(text, sizeof text, "%s %02X t=%llu", name, value,
                static_cast<unsigned long long>(now));
  line(text + (note.empty() ? "" : " " + note));
  board_.write(port, value, now);
}

std::uint8_t BoardLog::read(std::uint16_t port) {
  const std::uint64_t now = now_ns();
  if (port != 0x379) {
    line("read " + std::to_string(port));
    return board_.read(port, now);
  }
  ++status_reads_;
  last_read_ns_ = now;
  const std::uint8_t status = board_.read(port, now);
  return never_ready ? static_cast<std::uint8_t>(status | 0x40) : status;
}

void BoardLog::line(const std::string& text) {
  flush_reads();
  sink_(text);
}

void BoardLog::report() {
  flush_reads();
  const std::vector<std::uint8_t> image = expected_image();
  const std::string report =
      sim::chip_report(board_, image.data(), image.size());
  std::size_t begin = 0;
  for (std::size_t end; (end = report.find('\n', begin)) != std::string::npos;
       begin = end + 1) {
    sink_("chip " + report.substr(begin, end - begin));
  }
}

void BoardLog::flush_reads() {
  if (status_reads_ > 0) {
    sink_("status-reads " + std::to_string(status_reads_) +
          " last=" + std::to_string(last_read_ns_));
    status_reads_ = 0;
  }
}

std::uint64_t BoardLog::now_ns() const {
  return static_cast<std::uint64_t>(
      std::chrono::duration_cast<std::chrono::nanoseconds>(
          std::chrono::steady_clock::now() - started_)
          .count());
}
