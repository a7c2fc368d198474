// A stand-in for INPOUT32.dll built on the simulated board, for running
// burn2051.exe under Wine. Ordinal 1 reads a port, ordinal 2 writes one. It
// logs every operation to the file named by INPOUT32_SIM_LOG, from the
// moment it is loaded ("loaded") to the chip report when it is unloaded.
// With INPOUT32_SIM_NEVER_READY set, the ready line never drops.

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "board_log.h"

namespace {

void append_to_log(const std::string& line) {
  static FILE* log = nullptr;
  if (!log) {
    const char* path = std::getenv("INPOUT32_SIM_LOG");
    if (!path || !(log = std::fopen(path, "ab"))) {
      return;
    }
  }
  std::fprintf(log, "%s\n", line.c_str());
  std::fflush(log);
}

struct SimulatedPort {
  BoardLog board{append_to_log};

  SimulatedPort() {
    std::fputs("INPOUT32.dll: simulated board for tests, no port is driven\n",
               stderr);
    board.never_ready = std::getenv("INPOUT32_SIM_NEVER_READY") != nullptr;
    board.line("loaded");
  }
  ~SimulatedPort() { board.report(); }
};

SimulatedPort port;

}  // namespace

extern "C" __declspec(dllexport) short __stdcall Inp32(short address) {
  return port.board.read(static_cast<std::uint16_t>(address));
}

extern "C" __declspec(dllexport) void __stdcall Out32(short address,
                                                      short value) {
  port.board.write(static_cast<std::uint16_t>(address),
                   static_cast<std::uint8_t>(value), "");
}
