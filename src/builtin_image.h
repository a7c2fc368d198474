// The 8051 program that every run writes into the chip, offset 0 first.
#pragma once

#include <array>
#include <cstdint>

extern const std::array<std::uint8_t, 56> builtin_image;
