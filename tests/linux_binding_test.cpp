#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "case_name.h"
#include "child_process.h"
#include "process_log.h"

namespace {

const char* const first_line = "Load LPT driver GiveIO.sys";

// One run of burn2051 behind the stand-in device, and what the device saw.
struct DeviceRun {
  ChildRun child;
  ProcessLog log;
};

DeviceRun run_burn2051(Console console, std::vector<std::string> settings,
                       std::vector<std::string> args = {}) {
  char log_path[] = "/tmp/burn2051-device-XXXXXX";
  close(mkstemp(log_path));
  ChildSpec spec;
  spec.argv = {BURN2051_PATH};
  spec.argv.insert(spec.argv.end(), args.begin(), args.end());
  spec.env = {std::string("LD_PRELOAD=") + FAKE_PARPORT_PATH,
              std::string("FAKE_PARPORT_LOG=") + log_path,
              // The stand-in is not instrumented, and needs not come after
              // the sanitizer runtime.
              "ASAN_OPTIONS=verify_asan_link_order=0"};
  spec.env.insert(spec.env.end(), settings.begin(), settings.end());
  spec.console = console;
  spec.input = "k\n";
  DeviceRun run;
  run.child = run_child(spec);
  run.log.lines = split_lines(read_file(log_path));
  std::remove(log_path);
  return run;
}

struct ConsoleCase {
  const char* name;
  Console console;
};

void PrintTo(const ConsoleCase& c, std::ostream* os) { *os << c.name; }

class FinishedRun : public ::testing::TestWithParam<ConsoleCase> {};

TEST_P(FinishedRun, DrivesTheWholeSequenceWhateverTheConsole) {
  const DeviceRun run =
      run_burn2051(GetParam().console, {}, {"--erase", "-h", "file.hex"});
  ASSERT_FALSE(run.child.timed_out);
  EXPECT_EQ(run.child.signal, 0);
  EXPECT_EQ(run.child.exit_status, 0);
  EXPECT_EQ(run.child.err, "");
  ASSERT_GE(run.log.lines.size(), 2u);
  EXPECT_EQ(run.log.lines[0], "open rdwr");
  EXPECT_EQ(run.log.lines[1], "claim");
  EXPECT_EQ(run.log.port_writes(), finished_port_writes());
  EXPECT_TRUE(run.log.waits_of_a_finished_run())
      << ::testing::PrintToString(run.log.status_reads());
  EXPECT_TRUE(run.log.has("device-bytes 0")) << "console text reached the port";
  EXPECT_FALSE(run.log.has("close"));
  EXPECT_TRUE(run.log.chip_programmed_cleanly());
}

INSTANTIATE_TEST_SUITE_P(
    Consoles, FinishedRun,
    ::testing::Values(ConsoleCase{"StdoutToFile", Console::file},
                      ConsoleCase{"StdoutAndStdinClosed", Console::closed},
                      ConsoleCase{"StdoutIntoBrokenPipe",
                                  Console::broken_pipe}),
    CaseName{});

TEST(LinuxBinding, EachLineReachesTheConsoleBeforeTheNextPortWrite) {
  const DeviceRun run = run_burn2051(Console::file, {});
  const Lines console = split_lines(run.child.out);
  ASSERT_EQ(console, finished_console());

  // Offsets of the end of each console line, by the line's text.
  std::vector<std::size_t> line_ends;
  std::size_t offset = 0;
  for (const std::string& line : console) {
    offset += line.size() + 1;
    line_ends.push_back(offset);
  }
  // "erase OK" is out before 0Ah, each "write ok" before its 0Bh, and
  // "FINISH" before 08h.
  std::vector<std::string> expected;
  for (const std::string& line : run.log.lines) {
    if (line.rfind("control 0A", 0) == 0 || line.rfind("control 0B", 0) == 0 ||
        line.rfind("control 08", 0) == 0) {
      expected.push_back(line.substr(line.find("out=") + 4));
    }
  }
  std::vector<std::string> flushed;
  for (std::size_t i = 1; i < line_ends.size(); ++i) {
    flushed.push_back(std::to_string(line_ends[i]));
  }
  EXPECT_EQ(expected, flushed);
}

struct RefusalCase {
  const char* name;
  const char* setting;
  const char* reason;
};

void PrintTo(const RefusalCase& c, std::ostream* os) { *os << c.name; }

class RefusedDevice : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(RefusedDevice, NamesTheReasonAndTouchesNoPort) {
  const DeviceRun run = run_burn2051(Console::file, {GetParam().setting});
  EXPECT_EQ(run.child.exit_status, 1);
  EXPECT_EQ(split_lines(run.child.out),
            (Lines{first_line,
                   "Error! Can't open driver! Press any key to exit... "}));
  EXPECT_EQ(run.child.err,
            std::string("/dev/parport0: ") + GetParam().reason + "\n");
  EXPECT_EQ(run.log.port_writes(), Lines{});
  EXPECT_EQ(run.log.status_reads(), std::vector<unsigned>{});
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RefusedDevice,
    ::testing::Values(RefusalCase{"NoPermission", "FAKE_PARPORT_OPEN_ERRNO=13",
                                  "Permission denied"},
                      RefusalCase{"NoDevice", "FAKE_PARPORT_OPEN_ERRNO=2",
                                  "No such file or directory"},
                      RefusalCase{"ClaimRefused", "FAKE_PARPORT_CLAIM_ERRNO=16",
                                  "Device or resource busy"}),
    CaseName{});

struct SilentBoardCase {
  const char* name;
  const char* setting;
};

void PrintTo(const SilentBoardCase& c, std::ostream* os) { *os << c.name; }

class SilentBoard : public ::testing::TestWithParam<SilentBoardCase> {};

TEST_P(SilentBoard, EndsNotReadyWithStatusOne) {
  const DeviceRun run = run_burn2051(Console::file, {GetParam().setting});
  ASSERT_FALSE(run.child.timed_out);
  EXPECT_EQ(run.child.exit_status, 1);
  EXPECT_EQ(split_lines(run.child.out),
            (Lines{first_line,
                   "Error! Programmer not ready! Press any key to exit... "}));
  EXPECT_EQ(run.log.port_writes(),
            (Lines{"data 00", "control 06", "control 02", "control 08"}));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SilentBoard,
    ::testing::Values(
        SilentBoardCase{"ReadyLineNeverDrops", "FAKE_PARPORT_NEVER_READY=1"},
        SilentBoardCase{"StatusReadFails", "FAKE_PARPORT_STATUS_ERRNO=5"}),
    CaseName{});

}  // namespace
