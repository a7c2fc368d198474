// A scripted stand-in behind the port seam, on a virtual clock. It records,
// in the order they reach the system, every port write, status read, pause
// and console line the run produces. Status reads come from a script when
// one is set, otherwise from the simulated board.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "programmer_board.h"

struct StandInPort {
  // Each port access takes this long on the virtual clock, like a bus cycle.
  static constexpr std::uint64_t access_ns = 1000;

  bool grant_access = true;
  std::function<std::uint8_t(const StandInPort&)> status_script;
  sim::ProgrammerBoard board;

  std::uint64_t now_ns = 0;
  std::uint64_t last_write_ns = 0;
  std::array<unsigned, 256> control_writes{};  // how often each value went out
  unsigned acquire_calls = 0;
  std::vector<std::string> trace;
  unsigned reads_in_row = 0;

  // Where the run's standard output goes; what has reached it is read back
  // before each recorded event, so unflushed text shows up late.
  int console_fd = -1;
  long console_read = 0;
  std::string console_partial;

  void record(const std::string& event);
  void sync_console();
  // How many ready waits the run has begun: one per erase pulse end and one
  // per byte.
  unsigned waits_begun() const;
};

StandInPort& stand_in();
