#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "case_name.h"
#include "child_process.h"
#include "process_log.h"

namespace fs = std::filesystem;

namespace {

const fs::path windows_build = WINDOWS_BUILD_DIR;
const fs::path prefix = WINE_PREFIX;
const fs::path exe = windows_build / "burn2051.exe";
const fs::path whole_dll = windows_build / "inpout32_whole" / "INPOUT32.dll";
const fs::path dll_lacking_ordinal_2 =
    windows_build / "inpout32_lacking_ordinal_2" / "INPOUT32.dll";
const fs::path giveio_link = prefix / "dosdevices" / "giveio";
const fs::path system_dll =
    prefix / "drive_c" / "windows" / "system32" / "INPOUT32.dll";

enum class Library {
  beside_program,
  in_system_folder,
  only_in_current_folder,
  none,
  lacking_ordinal_2
};

struct Layout {
  Library library = Library::beside_program;
  bool giveio = true;
  bool never_ready = false;
};

struct WineRun {
  ChildRun child;
  Lines console;
  ProcessLog log;
};

// Lays out a program folder and a current folder for one run, points the
// GiveIO device at /dev/null or removes it, and runs burn2051.exe.
class WineFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(fs::exists(prefix / "system.reg"))
        << "no Wine prefix at " << prefix;
    work_ = fs::temp_directory_path() /
            ("burn2051-wine-" + std::to_string(::getpid()));
    fs::remove_all(work_);
    fs::create_directories(work_ / "program");
    fs::create_directories(work_ / "current");
  }
  void TearDown() override {
    fs::remove(system_dll);
    fs::remove(giveio_link);
    fs::remove_all(work_);
  }

  WineRun run_program(const Layout& layout) {
    fs::copy_file(exe, work_ / "program" / "burn2051.exe");
    switch (layout.library) {
      case Library::beside_program:
        fs::copy_file(whole_dll, work_ / "program" / "INPOUT32.dll");
        break;
      case Library::in_system_folder:
        fs::copy_file(whole_dll, system_dll,
                      fs::copy_options::overwrite_existing);
        break;
      case Library::only_in_current_folder:
        fs::copy_file(whole_dll, work_ / "current" / "INPOUT32.dll");
        break;
      case Library::lacking_ordinal_2:
        fs::copy_file(dll_lacking_ordinal_2,
                      work_ / "program" / "INPOUT32.dll");
        break;
      case Library::none:
        break;
    }
    fs::remove(giveio_link);
    if (layout.giveio) {
      fs::create_symlink("/dev/null", giveio_link);
    }

    const fs::path log = work_ / "port.log";
    ChildSpec spec;
    spec.argv = {WINE_PATH, (work_ / "program" / "burn2051.exe").string(),
                 "/erase", "-v"};
    spec.env = {"WINEPREFIX=" + prefix.string(), "WINEARCH=win32",
                "WINEDEBUG=-all", "INPOUT32_SIM_LOG=" + log.string()};
    if (layout.never_ready) {
      spec.env.push_back("INPOUT32_SIM_NEVER_READY=1");
    }
    spec.cwd = (work_ / "current").string();
    spec.input = "k\r\n";
    spec.timeout_seconds = 120;

    WineRun result;
    result.child = run_child(spec);
    for (std::string line : split_lines(result.child.out)) {
      if (!line.empty() && line.back() == '\r') {
        line.pop_back();
      }
      result.console.push_back(line);
    }
    result.log.lines = split_lines(read_file(log.string()));
    return result;
  }

 private:
  fs::path work_;
};

struct FinishCase {
  const char* name;
  Library library;
};

void PrintTo(const FinishCase& c, std::ostream* os) { *os << c.name; }

class WineFinishedRun : public WineFixture,
                        public ::testing::WithParamInterface<FinishCase> {};

TEST_P(WineFinishedRun, ProgramsTheChipWithTheWholeProtocol) {
  const WineRun run = run_program({GetParam().library, true, false});
  ASSERT_FALSE(run.child.timed_out);
  EXPECT_EQ(run.child.exit_status, 0) << run.child.err;
  EXPECT_EQ(run.console, finished_console());
  EXPECT_EQ(run.child.out.find("\n"), run.child.out.find("\r\n") + 1)
      << "lines end in the platform's CR LF";
  ASSERT_FALSE(run.log.lines.empty());
  EXPECT_EQ(run.log.lines[0], "loaded");
  EXPECT_EQ(run.log.port_writes(), finished_port_writes());
  EXPECT_TRUE(run.log.waits_of_a_finished_run())
      << ::testing::PrintToString(run.log.status_reads());
  EXPECT_TRUE(run.log.chip_programmed_cleanly());
}

INSTANTIATE_TEST_SUITE_P(
    Libraries, WineFinishedRun,
    ::testing::Values(FinishCase{"BesideTheProgram", Library::beside_program},
                      FinishCase{"InTheSystemFolder",
                                 Library::in_system_folder}),
    CaseName{});

struct RefusalCase {
  const char* name;
  Layout layout;
  const char* reason;
};

void PrintTo(const RefusalCase& c, std::ostream* os) { *os << c.name; }

class WineRefusal : public WineFixture,
                    public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(WineRefusal, PrintsTheFailureLineAndTouchesNoPort) {
  const WineRun run = run_program(GetParam().layout);
  ASSERT_FALSE(run.child.timed_out);
  EXPECT_EQ(run.child.exit_status, 1);
  EXPECT_EQ(run.console,
            (Lines{"Load LPT driver GiveIO.sys",
                   "Error! Can't open driver! Press any key to exit... "}));
  EXPECT_NE(run.child.err.find(GetParam().reason), std::string::npos)
      << run.child.err;
  EXPECT_EQ(run.log.port_writes(), Lines{});
  EXPECT_EQ(run.log.status_reads(), std::vector<unsigned>{});
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WineRefusal,
    ::testing::Values(RefusalCase{"NoGiveioDevice",
                                  {Library::beside_program, false, false},
                                  "\\\\.\\giveio: "},
                      RefusalCase{"NoLibrary",
                                  {Library::none, true, false},
                                  "INPOUT32.dll: not found"},
                      RefusalCase{"LibraryLackingOrdinal2",
                                  {Library::lacking_ordinal_2, true, false},
                                  "INPOUT32.dll: ordinal 2 is missing"}),
    CaseName{});

TEST_F(WineFixture, LibraryInTheCurrentFolderIsNeverLoaded) {
  const WineRun run =
      run_program({Library::only_in_current_folder, true, false});
  EXPECT_EQ(run.child.exit_status, 1);
  EXPECT_NE(run.child.err.find("INPOUT32.dll: not found"), std::string::npos)
      << run.child.err;
  EXPECT_FALSE(run.log.has("loaded")) << "the planted library was loaded";
  EXPECT_EQ(run.child.err.find("simulated board"), std::string::npos);
}

TEST_F(WineFixture, BoardThatNeverAnswersEndsWithStatusOne) {
  const WineRun run = run_program({Library::beside_program, true, true});
  EXPECT_EQ(run.child.exit_status, 1);
  EXPECT_EQ(run.console,
            (Lines{"Load LPT driver GiveIO.sys",
                   "Error! Programmer not ready! Press any key to exit... "}));
  EXPECT_EQ(run.log.port_writes(),
            (Lines{"data 00", "control 06", "control 02", "control 08"}));
}

// A 32-bit x86 console program whose manifest asks for no elevation.
TEST(WindowsProgram, IsA32BitConsoleProgramRunningAsInvoker) {
  std::ifstream file(exe, std::ios::binary);
  const std::string image((std::istreambuf_iterator<char>(file)),
                          std::istreambuf_iterator<char>());
  ASSERT_GT(image.size(), 0x100u);
  auto u16 = [&](std::size_t at) {
    return static_cast<unsigned>(static_cast<unsigned char>(image[at]) |
                                 static_cast<unsigned char>(image[at + 1])
                                     << 8);
  };
  const std::size_t pe = u16(0x3C) | u16(0x3E) << 16;
  ASSERT_EQ(image.substr(pe, 4), std::string("PE\0\0", 4));
  EXPECT_EQ(u16(pe + 4), 0x14Cu) << "machine: i386";
  const std::size_t optional_header = pe + 24;
  EXPECT_EQ(u16(optional_header), 0x10Bu) << "PE32";
  EXPECT_EQ(u16(optional_header + 68), 3u) << "subsystem: Windows console";
  EXPECT_NE(image.find("level=\"asInvoker\""), std::string::npos);
}

}  // namespace
