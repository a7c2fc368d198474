// burn2051-sim: the programming run against the simulated board, with real
// pauses and the same console lines as burn2051. When the run ends, a report
// of the simulated chip goes to standard error.

#include <cstdio>

#include "builtin_image.h"
#include "chip_report.h"
#include "port/port.h"
#include "programming_run.h"
#include "sim_port.h"

int main() {
  prepare_platform();
  const int status = programming_run();
  std::fputs(sim::chip_report(simulated_board(), builtin_image.data(),
                              builtin_image.size())
                 .c_str(),
             stderr);
  return status;
}
