// burn2051-sim: the programming run against the simulated board, with real
// pauses and the same console lines as burn2051. When the run ends, a report
// of the simulated chip goes to standard error.
//
//   burn2051-sim [--vcd FILE]
//
// With --vcd, the connector's lines over the run are also written to FILE as
// a Value Change Dump.

#include <cstdio>
#include <cstring>
#include <fstream>

#include "builtin_image.h"
#include "chip_report.h"
#include "port/port.h"
#include "programming_run.h"
#include "sim_port.h"

namespace {

constexpr int usage_status = 2;

bool write_vcd(const char* path) {
  std::ofstream file(path, std::ios::binary);
  file << simulated_pin_trace().vcd();
  file.close();
  if (!file) {
    std::fprintf(stderr, "%s: cannot write the waveform\n", path);
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const char* vcd_path = nullptr;
  if (argc == 3 && std::strcmp(argv[1], "--vcd") == 0) {
    vcd_path = argv[2];
  } else if (argc != 1) {
    std::fprintf(stderr, "usage: burn2051-sim [--vcd FILE]\n");
    return usage_status;
  }

  prepare_platform();
  int status = programming_run();
  std::fputs(sim::chip_report(simulated_board(), builtin_image.data(),
                              builtin_image.size())
                 .c_str(),
             stderr);
  if (vcd_path && !write_vcd(vcd_path) && status == run_finished) {
    status = run_failed;
  }
  return status;
}
