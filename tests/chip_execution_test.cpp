// The chip as programmed by a whole run, executed by the 8051 simulator s51:
// an independent check of the image and of the path that writes it.

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "child_process.h"
#include "intel_hex.h"
#include "run_fixture.h"

namespace {

// s51 echoes each command; the output is cut into the part after each.
std::vector<std::string> after_each_command(
    const std::string& output, const std::vector<std::string>& commands) {
  std::vector<std::string> parts(commands.size());
  std::size_t current = commands.size();
  std::size_t next = 0;
  for (const std::string& line : split_lines(output)) {
    if (next < commands.size() && line == commands[next]) {
      current = next++;
    } else if (current < commands.size()) {
      parts[current] += line + "\n";
    }
  }
  return parts;
}

// The address in the instruction line that s51's "pc" command prints (after
// a label line where the address has one).
unsigned long program_counter(const std::string& pc_output) {
  for (const std::string& line : split_lines(pc_output)) {
    if (line.rfind("0x", 0) == 0 && line.find("<.") == std::string::npos) {
      return std::stoul(line.substr(0, 6), nullptr, 16);
    }
  }
  ADD_FAILURE() << "no instruction line in: " << pc_output;
  return 0;
}

using ProgrammedChip = RunFixture;

TEST_F(ProgrammedChip, RunsTheImageIn8051Simulator) {
  ASSERT_EQ(run(""), 0);
  const auto& flash = port.board.flash();
  // s51 takes the file for Intel HEX by its name's ending.
  char hex_path[] = "/tmp/burn2051-flash-XXXXXX.hex";
  close(mkstemps(hex_path, 4));
  std::ofstream(hex_path) << sim::intel_hex(flash.data(), flash.size());

  const std::vector<std::string> commands = {
      std::string("load \"") + hex_path + "\"",
      "dc 0 0x37",
      "dump sfr 0x90 0x90",
      "dump sfr 0xb0 0xb0",
      "step 1",
      "pc",
      "step 40",
      "dump sfr 0x90 0x90",
      "dump sfr 0xb0 0xb0",
      "pc",
      "quit"};
  char script_path[] = "/tmp/burn2051-s51-XXXXXX";
  close(mkstemp(script_path));
  {
    std::ofstream script(script_path);
    for (const std::string& command : commands) {
      script << command << "\n";
    }
  }
  ChildSpec spec;
  spec.argv = {S51_PATH, "-t", "51", "-b", "-C", script_path};
  spec.timeout_seconds = 60;
  const ChildRun s51 = run_child(spec);
  std::remove(hex_path);
  std::remove(script_path);
  ASSERT_EQ(s51.exit_status, 0) << s51.err;

  const std::vector<std::string> part = after_each_command(s51.out, commands);
  EXPECT_NE(s51.out.find("2048 words read"), std::string::npos) << s51.out;
  EXPECT_NE(part[1].find("0x0000    02 00 30 LJMP   0x0030"), std::string::npos)
      << part[1];
  EXPECT_NE(part[1].find("0x0030    75 90 00 MOV    0x90 <P1>,#0x00"),
            std::string::npos);
  // Ports come out of reset at FFh.
  EXPECT_NE(part[2].find("P1:"), std::string::npos);
  EXPECT_NE(part[2].find("0xff"), std::string::npos) << part[2];
  EXPECT_NE(part[3].find("0xff"), std::string::npos) << part[3];
  // The first instruction jumps to 0030h.
  EXPECT_EQ(program_counter(part[5]), 0x30u) << part[5];
  // After a few rounds of the loop both ports read 00h and the program
  // counter stays inside 0030h-0037h.
  EXPECT_NE(part[7].find("P1:                  0b00000000 0x00"),
            std::string::npos)
      << part[7];
  EXPECT_NE(part[8].find("P3:                  0b00000000 0x00"),
            std::string::npos)
      << part[8];
  const unsigned long pc = program_counter(part[9]);
  EXPECT_GE(pc, 0x30u);
  EXPECT_LE(pc, 0x37u);
}

}  // namespace
