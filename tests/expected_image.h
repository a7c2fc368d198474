// The bytes the chip must end up holding, offset 0 first, written out here
// independently of the program's own copy.
#pragma once

#include <cstdint>
#include <vector>

inline std::vector<std::uint8_t> expected_image() {
  std::vector<std::uint8_t> bytes = {0x02, 0x00, 0x30};  // LJMP 0030h
  bytes.insert(bytes.end(), 45, 0xFF);                   // filler
  bytes.insert(bytes.end(), {0x75, 0x90, 0x00,           // MOV P1,#00h
                             0x75, 0xB0, 0x00,           // MOV P3,#00h
                             0x80, 0xF8});               // SJMP 0030h
  return bytes;
}
