// burn2051-sim run as a user runs it: the same console as burn2051, the chip
// report on standard error, and the waveform file when asked for.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "child_process.h"
#include "process_log.h"

namespace {

TEST(SimProgram, RunsWithRealPausesAndReportsTheChip) {
  char vcd_path[] = "/tmp/burn2051-run-XXXXXX.vcd";
  close(mkstemps(vcd_path, 4));
  ChildSpec spec;
  spec.argv = {BURN2051_SIM_PATH, "--vcd", vcd_path};
  const ChildRun run = run_child(spec);
  const std::string vcd = read_file(vcd_path);
  std::remove(vcd_path);

  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(split_lines(run.out), finished_console());
  EXPECT_EQ(run.err,
            "simulated chip:\n"
            "  programmed 0000h-0037h (56 bytes)\n"
            "  flash holds the built-in image at 0000h-0037h and FFh above\n"
            "  no protocol fault\n");
  EXPECT_EQ(vcd.rfind("$version burn2051-sim $end\n", 0), 0u);
  EXPECT_NE(vcd.find("$enddefinitions $end"), std::string::npos);
}

TEST(SimProgram, RefusesWordsItDoesNotKnow) {
  ChildSpec spec;
  spec.argv = {BURN2051_SIM_PATH, "--hex", "out.hex"};
  const ChildRun run = run_child(spec);
  EXPECT_EQ(run.exit_status, 2);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "usage: burn2051-sim [--vcd FILE]\n");
}

}  // namespace
