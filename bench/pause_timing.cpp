// Times the pauses of whole runs of the built program against the simulated
// board, from the board's side: every port write and the end of every ready
// wait carry a timestamp in the stand-in driver's log. Prints one table row
// per program and condition.
//
//   pause_timing linux <burn2051> <libfake_parport.so> [runs]
//   pause_timing wine <wine> <burn2051.exe> <INPOUT32.dll> [runs]

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "child_process.h"

namespace fs = std::filesystem;

namespace {

constexpr double required_ms = 10 + 3000 + 56 * 2;

struct Timing {
  double port_run_ms = 0;  // first to last port write
  double in_ready_waits_ms = 0;
  std::vector<double> overshoot_us;  // one per pause
  unsigned short_pauses = 0;
  bool complete = false;
};

std::uint64_t field(const std::string& line, const char* name) {
  const std::size_t at = line.find(name);
  return at == std::string::npos
             ? 0
             : std::strtoull(line.c_str() + at + std::string(name).size(),
                             nullptr, 10);
}

// Pauses, as the board sees them: 06h to 02h (10 ms), 00h to 0Ah (3000 ms),
// and each byte's last ready read to its 0Bh (2 ms).
Timing measure(const std::vector<std::string>& log) {
  Timing timing;
  std::uint64_t first = 0, last = 0, pause_start = 0, wait_start = 0;
  double asked_ms = 0;
  unsigned writes = 0;
  for (const std::string& line : log) {
    const bool is_write =
        line.rfind("data ", 0) == 0 || line.rfind("control ", 0) == 0;
    if (line.rfind("status-reads ", 0) == 0) {
      const std::uint64_t wait_end = field(line, "last=");
      timing.in_ready_waits_ms +=
          static_cast<double>(wait_end - wait_start) / 1e6;
      pause_start = wait_end;
      asked_ms = 2;
      continue;
    }
    if (!is_write) {
      continue;
    }
    const std::uint64_t t = field(line, "t=");
    if (writes++ == 0) {
      first = t;
    }
    last = t;
    const std::string value = line.substr(0, line.find(" t="));
    const bool ends_pause =
        value == "control 02" || value == "control 0A" || value == "control 0B";
    if (asked_ms > 0 && ends_pause) {
      const double took_ms = static_cast<double>(t - pause_start) / 1e6;
      timing.overshoot_us.push_back((took_ms - asked_ms) * 1000);
      if (took_ms < asked_ms) {
        ++timing.short_pauses;
      }
      asked_ms = 0;
    }
    if (value == "control 06" || value == "control 00") {
      pause_start = t;
      asked_ms = value == "control 06" ? 10 : 3000;
    }
    if (value == "control 02" || value == "control 0E") {
      wait_start = t;
    }
  }
  timing.port_run_ms = static_cast<double>(last - first) / 1e6;
  timing.complete = writes == 174 && timing.overshoot_us.size() == 58;
  return timing;
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

void print_header() {
  std::printf(
      "| program | signals every 100 us | runs | port run (ms) | ratio to 3122 "
      "ms "
      "| ratio outside ready waits | pause overshoot median (us) | max (us) "
      "| pauses shorter than asked |\n"
      "|---|---|---|---|---|---|---|---|---|\n");
}

void print_row(const char* program, bool signals,
               const std::vector<Timing>& runs) {
  double worst_run = 0, worst_outside = 0;
  std::vector<double> overshoots;
  unsigned short_pauses = 0;
  for (const Timing& t : runs) {
    worst_run = std::max(worst_run, t.port_run_ms);
    worst_outside =
        std::max(worst_outside, t.port_run_ms - t.in_ready_waits_ms);
    overshoots.insert(overshoots.end(), t.overshoot_us.begin(),
                      t.overshoot_us.end());
    short_pauses += t.short_pauses;
  }
  std::printf("| %s | %s | %zu | %.3f | %.5f | %.5f | %.1f | %.1f | %u |\n",
              program, signals ? "yes" : "no", runs.size(), worst_run,
              worst_run / required_ms, worst_outside / required_ms,
              median(overshoots),
              overshoots.empty()
                  ? 0
                  : *std::max_element(overshoots.begin(), overshoots.end()),
              short_pauses);
}

fs::path scratch() {
  const fs::path dir = fs::temp_directory_path() /
                       ("burn2051-bench-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  return dir;
}

Timing timed_run(ChildSpec spec, const fs::path& log) {
  fs::remove(log);
  spec.input = "\n";
  spec.timeout_seconds = 60;
  const ChildRun child = run_child(spec);
  Timing timing = measure(split_lines(read_file(log.string())));
  if (child.exit_status != 0 || !timing.complete) {
    std::fprintf(stderr, "run did not finish cleanly (status %d)\n%s",
                 child.exit_status, child.err.c_str());
    std::exit(1);
  }
  return timing;
}

int bench_linux(const std::string& program, const std::string& shim, int runs) {
  const fs::path log = scratch() / "port.log";
  print_header();
  for (bool signals : {false, true}) {
    std::vector<Timing> timings;
    for (int i = 0; i < runs; ++i) {
      ChildSpec spec;
      spec.argv = {program};
      spec.env = {"LD_PRELOAD=" + shim, "FAKE_PARPORT_LOG=" + log.string()};
      if (signals) {
        spec.env.push_back("FAKE_PARPORT_SIGNAL_EVERY_US=100");
      }
      timings.push_back(timed_run(spec, log));
    }
    print_row("burn2051 (Linux, ppdev)", signals, timings);
  }
  return 0;
}

int bench_wine(const std::string& wine, const std::string& exe,
               const std::string& dll, int runs) {
  const fs::path dir = scratch();
  const fs::path prefix = dir / "prefix";
  const fs::path log = dir / "port.log";
  fs::copy_file(exe, dir / "burn2051.exe",
                fs::copy_options::overwrite_existing);
  fs::copy_file(dll, dir / "INPOUT32.dll",
                fs::copy_options::overwrite_existing);
  const std::vector<std::string> env = {"WINEPREFIX=" + prefix.string(),
                                        "WINEARCH=win32", "WINEDEBUG=-all",
                                        "INPOUT32_SIM_LOG=" + log.string()};
  ChildSpec boot;
  boot.argv = {wine, "wineboot", "-i"};
  boot.env = env;
  boot.timeout_seconds = 300;
  run_child(boot);
  fs::create_symlink("/dev/null", prefix / "dosdevices" / "giveio");

  print_header();
  std::vector<Timing> timings;
  for (int i = 0; i < runs; ++i) {
    ChildSpec spec;
    spec.argv = {wine, (dir / "burn2051.exe").string()};
    spec.env = env;
    timings.push_back(timed_run(spec, log));
  }
  print_row("burn2051.exe (Wine)", false, timings);
  fs::remove_all(dir);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() >= 3 && args[0] == "linux") {
    return bench_linux(args[1], args[2],
                       args.size() > 3 ? std::stoi(args[3]) : 3);
  }
  if (args.size() >= 4 && args[0] == "wine") {
    return bench_wine(args[1], args[2], args[3],
                      args.size() > 4 ? std::stoi(args[4]) : 3);
  }
  std::fprintf(
      stderr,
      "usage: pause_timing linux <burn2051> <libfake_parport.so> [runs]\n"
      "       pause_timing wine <wine> <burn2051.exe> <INPOUT32.dll> [runs]\n");
  return 2;
}
