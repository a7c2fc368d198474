// The simulated board that burn2051-sim drives in place of a parallel port.
#pragma once

#include <cstdint>

#include "programmer_board.h"

sim::ProgrammerBoard& simulated_board();

// Nanoseconds since the program started, on the clock the board runs on.
std::uint64_t simulated_board_clock_ns();
