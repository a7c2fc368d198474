// A model of the programmer board on the parallel port with an AT89C2051 in
// its socket. It decodes the port registers into the chip's programming
// lines, keeps the chip's flash, answers on the ready line, and records every
// protocol fault it sees. Time is passed in by the caller, in nanoseconds on
// any clock that never goes backwards, so the model runs on a virtual clock
// as well as on a real one. It uses nothing but the standard library.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace sim {

constexpr std::uint64_t ns_per_ms = 1000000;

// Chip timing: the busy time after a byte write and after an erase pulse.
constexpr std::uint64_t byte_write_busy_ns = 1200000;
constexpr std::uint64_t erase_busy_ns = 5 * ns_per_ms;

// What the protocol asks of the program driving the board.
constexpr std::uint64_t min_erase_pulse_ns = 10 * ns_per_ms;
constexpr std::uint64_t min_settle_after_erase_ns = 3000 * ns_per_ms;
constexpr std::uint64_t min_hold_after_ready_ns = 2 * ns_per_ms;

// The levels of the connector's lines, inversions applied (true = high).
struct PinLevels {
  std::uint8_t data = 0;
  bool strobe = true;
  bool autofeed = true;
  bool init = false;
  bool selectin = true;
  bool ack = false;
};

class ProgrammerBoard {
 public:
  static constexpr std::size_t flash_size = 2048;
  using Flash = std::array<std::uint8_t, flash_size>;

  ProgrammerBoard();

  void write(std::uint16_t port, std::uint8_t value, std::uint64_t now_ns);
  std::uint8_t read(std::uint16_t port, std::uint64_t now_ns);

  // The connector's lines as they stand at `now_ns`.
  PinLevels pins(std::uint64_t now_ns) const;

  const Flash& flash() const { return flash_; }
  const std::vector<std::string>& faults() const { return faults_; }
  // Lowest and highest address that a byte write went to, if any did.
  std::optional<std::pair<std::size_t, std::size_t>> programmed_range() const;
  // End of the current busy time, for tracing the ready line.
  std::uint64_t busy_until_ns() const { return busy_until_; }

 private:
  bool busy(std::uint64_t now_ns) const { return now_ns < busy_until_; }
  void fault(std::uint64_t now_ns, const std::string& what);
  void write_control(std::uint8_t value, std::uint64_t now_ns);
  void programming_voltage_on(std::uint64_t now_ns);
  void programming_voltage_off(std::uint64_t now_ns);
  void prog_begins(std::uint64_t now_ns);
  void prog_ends(std::uint64_t now_ns);
  void address_step(std::uint64_t now_ns);
  void start_busy(std::uint64_t now_ns, std::uint64_t duration_ns);

  Flash flash_{};
  std::uint8_t data_ = 0;
  std::uint8_t control_ = 0;  // as last written; bit 1 clear = no voltage
  std::uint16_t address_ = 0;
  bool erased_ = false;
  bool prog_accepted_ = false;  // a PROG pulse with the voltage on
  bool prog_erases_ = false;
  std::uint64_t prog_start_ = 0;
  std::uint64_t busy_until_ = 0;
  // The first status read after a pulse still shows the old, ready level.
  bool stale_read_pending_ = false;
  std::optional<std::uint64_t> ready_seen_at_;
  // Set when the voltage goes off after an erase, until programming starts.
  std::optional<std::uint64_t> settle_start_;
  bool settled_ = false;
  std::optional<std::size_t> lowest_written_;
  std::optional<std::size_t> highest_written_;
  std::vector<std::string> faults_;
};

}  // namespace sim
