// Binding of the port operations onto the simulated board, with real pauses.
// Only the standard library is used, so it builds wherever the run does.

#include "sim_port.h"

#include <chrono>
#include <thread>

#include "port/port.h"

namespace {

using clock_type = std::chrono::steady_clock;

const clock_type::time_point started = clock_type::now();

sim::PinTrace& pin_trace() {
  static sim::PinTrace trace;
  return trace;
}

}  // namespace

sim::ProgrammerBoard& simulated_board() {
  static sim::ProgrammerBoard board;
  return board;
}

const sim::PinTrace& simulated_pin_trace() { return pin_trace(); }

std::uint64_t simulated_board_clock_ns() {
  return static_cast<std::uint64_t>(
      std::chrono::duration_cast<std::chrono::nanoseconds>(clock_type::now() -
                                                           started)
          .count());
}

void prepare_platform() {}

bool acquire_port_access() { return true; }

void port_write(std::uint16_t port, std::uint8_t value) {
  const std::uint64_t now = simulated_board_clock_ns();
  sim::ProgrammerBoard& board = simulated_board();
  board.write(port, value, now);
  pin_trace().sample(now, board.pins(now), board.busy_until_ns());
}

std::uint8_t port_read(std::uint16_t port) {
  return simulated_board().read(port, simulated_board_clock_ns());
}

void pause_ms(unsigned ms) {
  const clock_type::time_point deadline =
      clock_type::now() + std::chrono::milliseconds(ms);
  while (clock_type::now() < deadline) {
    std::this_thread::sleep_until(deadline);
  }
}

std::uint64_t monotonic_ms() { return simulated_board_clock_ns() / 1000000u; }
