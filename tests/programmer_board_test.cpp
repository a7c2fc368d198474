#include "programmer_board.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "case_name.h"
#include "chip_report.h"

namespace {

using sim::ns_per_ms;

const std::vector<std::uint8_t> image = {0x02, 0x00, 0x30, 0x75, 0x90, 0x00,
                                         0x75, 0xB0, 0x00, 0x80, 0xF8};

// Drives the board the way the protocol asks, with knobs to get one step
// wrong at a time.
struct Driver {
  bool erase = true;
  std::uint64_t erase_pulse_ms = 10;
  std::uint64_t settle_ms = 3000;
  std::uint64_t hold_ms = 2;
  bool discard_first_read = true;
  bool wait_for_ready = true;

  sim::ProgrammerBoard board;
  std::uint64_t now = 0;

  void write(std::uint16_t port, std::uint8_t value) {
    now += 1000;
    board.write(port, value, now);
  }
  void wait() {
    if (!wait_for_ready) {
      return;
    }
    if (discard_first_read) {
      now += 1000;
      board.read(0x379, now);
    }
    do {
      now += 1000;
    } while (board.read(0x379, now) & 0x40);
  }
  void program() {
    write(0x378, 0x00);
    if (erase) {
      write(0x37A, 0x06);
      now += erase_pulse_ms * ns_per_ms;
      write(0x37A, 0x02);
      wait();
      write(0x37A, 0x00);
      now += settle_ms * ns_per_ms;
    }
    write(0x37A, 0x0A);
    for (std::uint8_t byte : image) {
      write(0x378, byte);
      write(0x37A, 0x0E);
      wait();
      now += hold_ms * ns_per_ms;
      write(0x37A, 0x0B);
    }
    write(0x37A, 0x08);
  }
  bool holds_image() const {
    return sim::flash_holds_image(board.flash(), image.data(), image.size());
  }
  std::string faults() const {
    std::string all;
    for (const std::string& f : board.faults()) {
      all += f + "\n";
    }
    return all;
  }
};

TEST(ProgrammerBoard, ProgramsTheChipWhenDrivenByTheProtocol) {
  Driver d;
  d.program();
  EXPECT_TRUE(d.holds_image())
      << sim::chip_report(d.board, image.data(), image.size());
  EXPECT_EQ(d.faults(), "");
  const auto range = d.board.programmed_range();
  ASSERT_TRUE(range);
  EXPECT_EQ(range->first, 0u);
  EXPECT_EQ(range->second, image.size() - 1);
}

struct FaultCase {
  const char* name;
  void (*spoil)(Driver&);
  const char* expected_fault;
  bool chip_still_right;
};

void PrintTo(const FaultCase& c, std::ostream* os) { *os << c.name; }

class ProtocolFault : public ::testing::TestWithParam<FaultCase> {};

TEST_P(ProtocolFault, IsRecordedOrSpoilsTheChip) {
  const FaultCase& c = GetParam();
  Driver d;
  c.spoil(d);
  d.program();
  EXPECT_NE(d.faults().find(c.expected_fault), std::string::npos) << d.faults();
  EXPECT_EQ(d.holds_image(), c.chip_still_right);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProtocolFault,
    ::testing::Values(
        FaultCase{"ShortErasePulse", [](Driver& d) { d.erase_pulse_ms = 9; },
                  "erase pulse lasted 9.0", false},
        FaultCase{"NoErase", [](Driver& d) { d.erase = false; },
                  "byte write at 0000h before a chip erase", false},
        FaultCase{"ShortSettle", [](Driver& d) { d.settle_ms = 2999; },
                  "programming started", true},
        FaultCase{"ShortHold", [](Driver& d) { d.hold_ms = 1; }, "held 1.0",
                  true},
        FaultCase{"FirstReadTrusted",
                  [](Driver& d) { d.discard_first_read = false; },
                  "programming voltage removed while the chip was busy", true},
        FaultCase{"NoReadyWait",
                  [](Driver& d) {
                    d.wait_for_ready = false;
                    d.hold_ms = 0;
                  },
                  "address step while the chip was busy", true}),
    CaseName{});

TEST(ProgrammerBoard, FirstStatusReadAfterAPulseStillShowsReady) {
  Driver d;
  d.write(0x37A, 0x06);
  d.now += 10 * ns_per_ms;
  d.write(0x37A, 0x02);
  EXPECT_EQ(d.board.read(0x379, d.now + 1000) & 0x40, 0);
  EXPECT_EQ(d.board.read(0x379, d.now + 2000) & 0x40, 0x40);
  EXPECT_EQ(d.board.read(0x379, d.now + sim::erase_busy_ns) & 0x40, 0);
}

TEST(ProgrammerBoard, AByteWriteOnlyClearsBits) {
  Driver d;
  d.write(0x37A, 0x06);
  d.now += 10 * ns_per_ms;
  d.write(0x37A, 0x02);
  d.write(0x37A, 0x00);
  d.now += 3000 * ns_per_ms;
  d.write(0x37A, 0x0A);
  for (std::uint8_t value : {std::uint8_t{0xF0}, std::uint8_t{0x3C}}) {
    d.write(0x378, value);
    d.write(0x37A, 0x0E);
    d.now += 5 * ns_per_ms;
    d.write(0x37A, 0x0A);  // PROG ends without an address step
  }
  EXPECT_EQ(d.board.flash()[0], 0x30);
  EXPECT_EQ(d.board.flash()[1], 0xFF);
}

TEST(ProgrammerBoard, VoltageRisingEdgeResetsTheAddressCounter) {
  Driver d;
  d.program();
  // Program the same image again without an erase: with the counter back at
  // 0000h, AND-ing the same bytes again changes nothing.
  d.now += 3000 * ns_per_ms;
  d.program();
  EXPECT_TRUE(d.holds_image());
  EXPECT_EQ(d.board.programmed_range()->second, image.size() - 1);
}

}  // namespace
