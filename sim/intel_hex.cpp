#include "intel_hex.h"

#include <cstdio>

namespace sim {

namespace {

// One record: length, 16-bit address, type, data, and a checksum that makes
// all its bytes add up to 0.
std::string record(std::uint8_t type, std::size_t address,
                   const std::uint8_t* data, std::size_t length) {
  char byte[3];
  std::string text = ":";
  unsigned sum = 0;
  auto put = [&](unsigned value) {
    std::snprintf(byte, sizeof byte, "%02X", value & 0xFFu);
    text += byte;
    sum += value;
  };
  put(static_cast<unsigned>(length));
  put(static_cast<unsigned>(address >> 8));
  put(static_cast<unsigned>(address));
  put(type);
  for (std::size_t i = 0; i < length; ++i) {
    put(data[i]);
  }
  put(0x100u - (sum & 0xFFu));
  return text + "\n";
}

}  // namespace

std::string intel_hex(const std::uint8_t* data, std::size_t size) {
  std::string text;
  for (std::size_t address = 0; address < size; address += 16) {
    const std::size_t length = size - address < 16 ? size - address : 16;
    text += record(0x00, address, data + address, length);
  }
  return text + record(0x01, 0, nullptr, 0);
}

}  // namespace sim
