#include "pin_trace.h"

#include <gtest/gtest.h>

#include <string>

#include "programmer_board.h"

namespace {

// The erase pulse through the board, traced as burn2051-sim traces it.
TEST(PinTrace, DumpsLevelChangesWithTheReadyLineFallingWhenTheBoardIsDone) {
  sim::ProgrammerBoard board;
  sim::PinTrace trace;
  auto write = [&](std::uint16_t port, std::uint8_t value, std::uint64_t at) {
    board.write(port, value, at);
    trace.sample(at, board.pins(at), board.busy_until_ns());
  };
  write(0x378, 0x00, 1000);      // no change: not dumped
  write(0x37A, 0x06, 2000);      // AutoFeed low, Init high
  write(0x37A, 0x02, 10002000);  // Init low; busy for 5 ms
  write(0x37A, 0x00, 20000000);  // AutoFeed high, after the fall of Ack
  write(0x378, 0xA5, 20001000);
  write(0x37A, 0x02, 20002000);  // a level change while nothing is busy

  const std::string body = trace.vcd().substr(trace.vcd().find("#0\n"));
  EXPECT_EQ(body,
            "#0\n$dumpvars\nb00000000 !\n1s\n1a\n0i\n1l\n0k\n$end\n"
            "#2000\n0a\n1i\n"
            "#10002000\n0i\n1k\n"
            "#15002000\n0k\n"
            "#20000000\n1a\n"
            "#20001000\nb10100101 !\n"
            "#20002000\n0a\n");
  const std::string header = trace.vcd().substr(0, trace.vcd().find("#0\n"));
  EXPECT_NE(header.find("$timescale 1 ns $end"), std::string::npos);
  EXPECT_NE(header.find("$var wire 8 ! data [7:0] $end"), std::string::npos);
  EXPECT_NE(header.find("$var wire 1 k ack $end"), std::string::npos);
}

TEST(PinTrace, EndsWithTheFallOfABusyTimeStillRunning) {
  sim::ProgrammerBoard board;
  sim::PinTrace trace;
  for (auto [value, at] :
       {std::pair<std::uint8_t, std::uint64_t>{0x06, 1000}, {0x02, 10001000}}) {
    board.write(0x37A, value, at);
    trace.sample(at, board.pins(at), board.busy_until_ns());
  }
  const std::string vcd = trace.vcd();
  EXPECT_EQ(vcd.substr(vcd.size() - 13), "#15001000\n0k\n");
}

}  // namespace
