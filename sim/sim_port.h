// The simulated board that burn2051-sim drives in place of a parallel port.
#pragma once

#include <cstdint>

#include "pin_trace.h"
#include "programmer_board.h"

sim::ProgrammerBoard& simulated_board();

// The connector's lines over the run so far.
const sim::PinTrace& simulated_pin_trace();

// Nanoseconds since the program started, on the clock the board runs on.
std::uint64_t simulated_board_clock_ns();
