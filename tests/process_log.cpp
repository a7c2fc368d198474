#include "process_log.h"

#include <algorithm>
#include <cstdio>

#include "expected_image.h"

Lines finished_console() {
  Lines lines = {"Load LPT driver GiveIO.sys", "erase OK"};
  for (int i = 0; i < 56; ++i) {
    lines.push_back("write ok " + std::to_string(i));
  }
  lines.push_back("FINISH");
  return lines;
}

Lines finished_port_writes() {
  Lines writes = {"data 00", "control 06", "control 02", "control 00",
                  "control 0A"};
  for (std::uint8_t byte : expected_image()) {
    char data[16];
    std::snprintf(data, sizeof data, "data %02X", byte);
    writes.push_back(data);
    writes.push_back("control 0E");
    writes.push_back("control 0B");
  }
  writes.push_back("control 08");
  return writes;
}

Lines ProcessLog::port_writes() const {
  Lines writes;
  for (const std::string& line : lines) {
    if (line.rfind("data ", 0) == 0 || line.rfind("control ", 0) == 0) {
      writes.push_back(line.substr(0, line.find(' ', line.find(' ') + 1)));
    }
  }
  return writes;
}

std::vector<unsigned> ProcessLog::status_reads() const {
  std::vector<unsigned> reads;
  for (const std::string& line : lines) {
    if (line.rfind("status-reads ", 0) == 0) {
      reads.push_back(static_cast<unsigned>(std::stoul(line.substr(13))));
    }
  }
  return reads;
}

bool ProcessLog::waits_of_a_finished_run() const {
  const std::vector<unsigned> reads = status_reads();
  return reads.size() == 57 &&
         std::all_of(reads.begin(), reads.end(),
                     [](unsigned count) { return count >= 2; });
}

bool ProcessLog::has(const std::string& line) const {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

bool ProcessLog::chip_programmed_cleanly() const {
  return has("chip   flash holds the built-in image at 0000h-0037h and FFh "
             "above") &&
         has("chip   no protocol fault");
}
