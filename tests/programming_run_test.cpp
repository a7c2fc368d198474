#include "programming_run.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "builtin_image.h"
#include "case_name.h"
#include "chip_report.h"
#include "expected_image.h"
#include "run_fixture.h"

namespace {

using Trace = std::vector<std::string>;

std::string hex2(unsigned value) {
  char text[4];
  std::snprintf(text, sizeof text, "%02X", value);
  return text;
}

const char* const first_line = "line Load LPT driver GiveIO.sys";
const char* const refused_line =
    "line Error! Can't open driver! Press any key to exit... ";
const char* const not_ready_line =
    "line Error! Programmer not ready! Press any key to exit... ";

// The whole trace of a run whose board is ready at every second status read.
Trace expected_trace() {
  Trace t = {first_line,     "write 378 00", "write 37A 06", "pause 10",
             "write 37A 02", "read 379 x2",  "write 37A 00", "line erase OK",
             "pause 3000",   "write 37A 0A"};
  const std::vector<std::uint8_t> image = expected_image();
  for (std::size_t i = 0; i < image.size(); ++i) {
    t.push_back("write 378 " + hex2(image[i]));
    t.push_back("write 37A 0E");
    t.push_back("read 379 x2");
    t.push_back("pause 2");
    t.push_back("line write ok " + std::to_string(i));
    t.push_back("write 37A 0B");
  }
  t.push_back("line FINISH");
  t.push_back("write 37A 08");
  return t;
}

std::uint8_t always_ready(const StandInPort&) { return 0x00; }

// Reads the ready waits made, each as the count of its status reads.
std::vector<unsigned> reads_per_wait(const Trace& trace) {
  std::vector<unsigned> counts;
  for (const std::string& event : trace) {
    if (event.rfind("read 379 x", 0) == 0) {
      counts.push_back(static_cast<unsigned>(std::stoul(event.substr(10))));
    }
  }
  return counts;
}

using ProgrammingRun = RunFixture;

TEST(BuiltinImage, HoldsTheProgramByteForByte) {
  const std::vector<std::uint8_t> expected = expected_image();
  ASSERT_EQ(expected.size(), 56u);
  EXPECT_EQ(
      std::vector<std::uint8_t>(builtin_image.begin(), builtin_image.end()),
      expected);
}

TEST_F(ProgrammingRun, WritesPausesAndPrintsInProtocolOrder) {
  port.status_script = always_ready;
  EXPECT_EQ(run("k\n"), 0);
  EXPECT_EQ(port.trace, expected_trace());
  EXPECT_EQ(unread_input, "\n") << "exactly one character is read";
  EXPECT_EQ(port.acquire_calls, 1u);
}

TEST_F(ProgrammingRun, EndsWithStatusZeroAtEndOfInput) {
  port.status_script = always_ready;
  EXPECT_EQ(run(""), 0);
  EXPECT_EQ(port.trace.back(), "write 37A 08");
}

TEST_F(ProgrammingRun, ProgramsTheSimulatedChip) {
  EXPECT_EQ(run("\n"), 0);
  const std::vector<std::uint8_t> image = expected_image();
  EXPECT_TRUE(
      sim::flash_holds_image(port.board.flash(), image.data(), image.size()))
      << sim::chip_report(port.board, image.data(), image.size());
  EXPECT_TRUE(port.board.faults().empty())
      << sim::chip_report(port.board, image.data(), image.size());
}

TEST_F(ProgrammingRun, RefusedAccessPrintsTwoLinesAndTouchesNoPort) {
  port.grant_access = false;
  EXPECT_EQ(run("xy"), 1);
  EXPECT_EQ(port.trace, (Trace{first_line, refused_line}));
  EXPECT_EQ(unread_input, "y");
}

TEST_F(ProgrammingRun, RefusedAccessEndsAtEndOfInput) {
  port.grant_access = false;
  EXPECT_EQ(run(""), 1);
  EXPECT_EQ(port.trace, (Trace{first_line, refused_line}));
}

// One ready wait scripted read by read: the first value is the read that is
// thrown away, the rest follow until the script runs out, then ready.
struct WaitCase {
  const char* name;
  std::vector<std::uint8_t> reads;
  unsigned expected_reads;
};

void PrintTo(const WaitCase& c, std::ostream* os) { *os << c.name; }

class ReadyWait : public RunFixture,
                  public ::testing::WithParamInterface<WaitCase> {};

TEST_P(ReadyWait, EndsOnTheFirstReadWithBitSixClear) {
  const WaitCase& c = GetParam();
  unsigned index = 0;
  port.status_script = [&](const StandInPort& s) -> std::uint8_t {
    if (s.waits_begun() != 1) {
      return 0x00;
    }
    return index < c.reads.size() ? c.reads[index++] : 0x00;
  };
  EXPECT_EQ(run(""), 0);
  const std::vector<unsigned> counts = reads_per_wait(port.trace);
  ASSERT_EQ(counts.size(), 57u);
  EXPECT_EQ(counts[0], c.expected_reads);
}

std::vector<std::uint8_t> busy_polls(std::uint8_t discarded, unsigned k,
                                     std::uint8_t busy, std::uint8_t ready) {
  std::vector<std::uint8_t> reads = {discarded};
  reads.insert(reads.end(), k, busy);
  reads.push_back(ready);
  return reads;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReadyWait,
    ::testing::Values(
        WaitCase{"ReadyAtOnce", {0x00, 0x00}, 2},
        WaitCase{"DiscardedReadSeesBusy", {0x40, 0x00}, 2},
        WaitCase{"DiscardedReadSeesReadyThenBusy",
                 busy_polls(0x00, 1, 0x40, 0x00), 3},
        WaitCase{"BusyForFivePolls", busy_polls(0x40, 5, 0x40, 0x00), 7},
        WaitCase{"BusyPastAClockCheck", busy_polls(0x40, 1000, 0x40, 0x00),
                 1002},
        WaitCase{"OtherBitsSetStillReady", busy_polls(0xFF, 3, 0xFF, 0xBF), 5},
        WaitCase{"OtherBitsClearStillBusy", busy_polls(0x00, 3, 0x40, 0x80), 5},
        WaitCase{"OnlyBitSixCounts", busy_polls(0x00, 4, 0x7F, 0x3F), 6}),
    CaseName{});

// A board that stops answering at one of the waits: the erase (0), a byte's
// wait (1 to 56), or one that is slow but inside the time limit.
struct StallCase {
  const char* name;
  unsigned stalled_wait;
  std::uint64_t busy_ms;  // how long that wait sees busy; 0 = for ever
};

void PrintTo(const StallCase& c, std::ostream* os) { *os << c.name; }

class NotReady : public RunFixture,
                 public ::testing::WithParamInterface<StallCase> {};

TEST_P(NotReady, GivesUpAfterTwoSecondsWithPortsAtRest) {
  const StallCase& c = GetParam();
  std::uint64_t stalled_wait_ns = 0;
  port.status_script = [&](const StandInPort& s) -> std::uint8_t {
    if (s.waits_begun() != c.stalled_wait + 1) {
      return 0x00;
    }
    stalled_wait_ns = s.now_ns - s.last_write_ns;
    const bool busy =
        c.busy_ms == 0 || stalled_wait_ns < c.busy_ms * sim::ns_per_ms;
    return busy ? 0x40 : 0x00;
  };
  const int status = run("x");
  EXPECT_EQ(unread_input, "");
  if (c.busy_ms != 0) {
    EXPECT_EQ(status, 0);
    EXPECT_EQ(port.trace.back(), "write 37A 08");
    return;
  }
  EXPECT_EQ(status, 1);
  EXPECT_GE(stalled_wait_ns, 2000 * sim::ns_per_ms);
  EXPECT_LE(stalled_wait_ns, 2003 * sim::ns_per_ms);

  // The trace is the protocol up to the stalled wait, then the ports go to
  // rest and the failure line follows.
  const std::size_t stalled_reads =
      c.stalled_wait == 0 ? 5 : 10 + 6 * (c.stalled_wait - 1) + 2;
  Trace expected = expected_trace();
  expected.resize(stalled_reads + 1);
  expected.push_back("write 37A 08");
  expected.push_back(not_ready_line);
  ASSERT_EQ(port.trace.size(), expected.size());
  expected[stalled_reads] = port.trace[stalled_reads];  // its count varies
  EXPECT_EQ(port.trace, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NotReady,
    ::testing::Values(StallCase{"AtTheErase", 0, 0},
                      StallCase{"AtTheFirstByte", 1, 0},
                      StallCase{"AtTheLastByte", 56, 0},
                      StallCase{"SlowEraseInsideTheLimit", 0, 1999},
                      StallCase{"SlowByteInsideTheLimit", 30, 1999}),
    CaseName{});

}  // namespace
