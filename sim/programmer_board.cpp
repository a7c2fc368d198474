#include "programmer_board.h"

#include <cstdio>

namespace sim {

namespace {

constexpr std::uint8_t strobe_low_bit = 0x01;    // pin 1 low: XTAL1 pulse
constexpr std::uint8_t autofeed_low_bit = 0x02;  // pin 14 low: voltage on RST
constexpr std::uint8_t init_high_bit = 0x04;     // pin 16 high: PROG pulse
constexpr std::uint8_t selectin_low_bit = 0x08;  // pin 17 low: byte write

// Status bits that the board does not drive float high, as on most ports.
constexpr std::uint8_t idle_status = 0x87;
constexpr std::uint8_t ack_bit = 0x40;

std::string format_ms(std::uint64_t ns) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f ms", static_cast<double>(ns) / 1e6);
  return text;
}

std::string format_address(std::size_t address) {
  char text[8];
  std::snprintf(text, sizeof text, "%04zXh", address);
  return text;
}

bool rises(std::uint8_t before, std::uint8_t after, std::uint8_t bit) {
  return (before & bit) == 0 && (after & bit) != 0;
}

bool falls(std::uint8_t before, std::uint8_t after, std::uint8_t bit) {
  return (before & bit) != 0 && (after & bit) == 0;
}

}  // namespace

ProgrammerBoard::ProgrammerBoard() {
  // A chip fresh from the drawer still holds some earlier program.
  for (std::size_t i = 0; i < flash_size; ++i) {
    flash_[i] = static_cast<std::uint8_t>(i * 37u + 11u);
  }
}

void ProgrammerBoard::write(std::uint16_t port, std::uint8_t value,
                            std::uint64_t now_ns) {
  if (port == 0x378) {
    if (busy(now_ns) && value != data_) {
      fault(now_ns, "data lines changed while the chip was busy");
    }
    data_ = value;
  } else if (port == 0x37A) {
    write_control(value, now_ns);
  }
}

std::uint8_t ProgrammerBoard::read(std::uint16_t port, std::uint64_t now_ns) {
  if (port == 0x378) {
    return data_;
  }
  if (port == 0x37A) {
    return control_;
  }
  if (port != 0x379) {
    return 0xFF;
  }
  if (stale_read_pending_) {
    stale_read_pending_ = false;
    return idle_status;
  }
  if (busy(now_ns)) {
    return idle_status | ack_bit;
  }
  if (!ready_seen_at_) {
    ready_seen_at_ = now_ns;
  }
  return idle_status;
}

PinLevels ProgrammerBoard::pins(std::uint64_t now_ns) const {
  PinLevels levels;
  levels.data = data_;
  levels.strobe = (control_ & strobe_low_bit) == 0;
  levels.autofeed = (control_ & autofeed_low_bit) == 0;
  levels.init = (control_ & init_high_bit) != 0;
  levels.selectin = (control_ & selectin_low_bit) == 0;
  levels.ack = busy(now_ns);
  return levels;
}

std::optional<std::pair<std::size_t, std::size_t>>
ProgrammerBoard::programmed_range() const {
  if (!lowest_written_) {
    return std::nullopt;
  }
  return std::make_pair(*lowest_written_, *highest_written_);
}

void ProgrammerBoard::fault(std::uint64_t now_ns, const std::string& what) {
  faults_.push_back("at " + format_ms(now_ns) + ": " + what);
}

// Edges are taken in the order the board's logic sees them settle: the
// voltage comes first, the PROG pulse ends before the address steps, and the
// voltage goes last.
void ProgrammerBoard::write_control(std::uint8_t value, std::uint64_t now_ns) {
  const std::uint8_t before = control_;
  control_ = value;
  if (rises(before, value, autofeed_low_bit)) {
    programming_voltage_on(now_ns);
  }
  if (falls(before, value, init_high_bit)) {
    prog_ends(now_ns);
  }
  if (rises(before, value, init_high_bit)) {
    prog_begins(now_ns);
  }
  if (rises(before, value, strobe_low_bit) && (value & autofeed_low_bit)) {
    address_step(now_ns);
  }
  if (falls(before, value, autofeed_low_bit)) {
    programming_voltage_off(now_ns);
  }
}

// The rising edge of the programming voltage on RST resets the chip's
// address counter.
void ProgrammerBoard::programming_voltage_on(std::uint64_t now_ns) {
  address_ = 0;
  if (settle_start_) {
    const std::uint64_t settled = now_ns - *settle_start_;
    if (settled < min_settle_after_erase_ns) {
      fault(now_ns, "programming started " + format_ms(settled) +
                        " after the erase; 3000 ms required");
    }
    settle_start_.reset();
    settled_ = true;
  }
}

void ProgrammerBoard::programming_voltage_off(std::uint64_t now_ns) {
  if (busy(now_ns)) {
    fault(now_ns, "programming voltage removed while the chip was busy");
  }
  if (erased_ && !settled_ && !settle_start_) {
    settle_start_ = now_ns;
  }
}

void ProgrammerBoard::prog_begins(std::uint64_t now_ns) {
  if ((control_ & autofeed_low_bit) == 0) {
    fault(now_ns, "PROG pulse without programming voltage");
    return;
  }
  if (busy(now_ns)) {
    fault(now_ns, "PROG pulse while the chip was busy");
  }
  prog_accepted_ = true;
  prog_start_ = now_ns;
  prog_erases_ = (control_ & selectin_low_bit) == 0;
  if (prog_erases_) {
    return;
  }
  if (!erased_) {
    fault(now_ns,
          "byte write at " + format_address(address_) + " before a chip erase");
  } else if (!settled_) {
    fault(now_ns, "byte write at " + format_address(address_) +
                      " without the voltage off for 3000 ms after the erase");
    settled_ = true;
  }
  // Flash cells can only be cleared by a write; only an erase sets them.
  flash_[address_] = static_cast<std::uint8_t>(flash_[address_] & data_);
  if (!lowest_written_ || address_ < *lowest_written_) {
    lowest_written_ = address_;
  }
  if (!highest_written_ || address_ > *highest_written_) {
    highest_written_ = address_;
  }
  start_busy(now_ns, byte_write_busy_ns);
}

void ProgrammerBoard::prog_ends(std::uint64_t now_ns) {
  if (!prog_accepted_) {
    return;
  }
  prog_accepted_ = false;
  if (prog_erases_) {
    const std::uint64_t pulse = now_ns - prog_start_;
    if (pulse < min_erase_pulse_ns) {
      fault(now_ns, "erase pulse lasted " + format_ms(pulse) +
                        "; 10 ms required, chip not erased");
    } else {
      flash_.fill(0xFF);
      erased_ = true;
      settled_ = false;
    }
    start_busy(now_ns, erase_busy_ns);
    return;
  }
  if (busy(now_ns)) {
    fault(now_ns, "byte write at " + format_address(address_) +
                      " ended while the chip was busy");
    return;
  }
  const std::uint64_t ready_at = ready_seen_at_.value_or(busy_until_);
  const std::uint64_t held = now_ns - ready_at;
  if (held < min_hold_after_ready_ns) {
    fault(now_ns, "byte at " + format_address(address_) + " held " +
                      format_ms(held) + " after ready; 2 ms required");
  }
}

void ProgrammerBoard::address_step(std::uint64_t now_ns) {
  if (busy(now_ns)) {
    fault(now_ns, "address step while the chip was busy");
  }
  address_ = static_cast<std::uint16_t>((address_ + 1u) % flash_size);
}

void ProgrammerBoard::start_busy(std::uint64_t now_ns,
                                 std::uint64_t duration_ns) {
  busy_until_ = now_ns + duration_ns;
  stale_read_pending_ = true;
  ready_seen_at_.reset();
}

}  // namespace sim
