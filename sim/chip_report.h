// A short account of the simulated chip after a run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "programmer_board.h"

namespace sim {

// True when the flash holds `image` from address 0 and FFh everywhere above.
bool flash_holds_image(const ProgrammerBoard::Flash& flash,
                       const std::uint8_t* image, std::size_t size);

// Lines naming the programmed range, whether the flash holds the image, and
// every recorded protocol fault.
std::string chip_report(const ProgrammerBoard& board, const std::uint8_t* image,
                        std::size_t size);

}  // namespace sim
