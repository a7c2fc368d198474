// The simulated board behind a stand-in port driver, on the real clock, with
// a log of what is
// done to it, one line per operation, for the tests that run a built program
// as a process:
//   data XX t=T <note>                  each port write, T in ns
//   control XX t=T <note>
//   status-reads N last=T               a run of N status reads
//   chip ...                            the chip report, at the end
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "programmer_board.h"

class BoardLog {
 public:
  using Sink = void (*)(const std::string& line);

  explicit BoardLog(Sink sink) : sink_(sink) {}

  void write(std::uint16_t port, std::uint8_t value, const std::string& note);
  std::uint8_t read(std::uint16_t port);
  void line(const std::string& text);
  // Ends the log with the chip report, checked against the built-in image
  // as the tests know it.
  void report();

  bool never_ready = false;  // the ready line stays busy for ever

 private:
  void flush_reads();
  // Nanoseconds since the log was made.
  std::uint64_t now_ns() const;

  Sink sink_;
  const std::chrono::steady_clock::time_point started_ =
      std::chrono::steady_clock::now();
  sim::ProgrammerBoard board_;
  unsigned status_reads_ = 0;
  std::uint64_t last_read_ns_ = 0;
};
