// Intel HEX text of a memory image, 16 data bytes to a record, for loading
// the simulated chip's flash into other tools.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace sim {

std::string intel_hex(const std::uint8_t* data, std::size_t size);

}  // namespace sim
