// A record of the connector's lines over a run, written out as a Value
// Change Dump that waveform viewers such as GTKWave open.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "programmer_board.h"

namespace sim {

class PinTrace {
 public:
  // Takes the lines as they stand after a port write at `now_ns`; the end of
  // the board's busy time is needed to place the ready line's fall.
  void sample(std::uint64_t now_ns, const PinLevels& pins,
              std::uint64_t busy_until_ns);

  std::string vcd() const;

 private:
  struct Change {
    std::uint64_t at_ns;
    PinLevels pins;
  };
  void add(std::uint64_t at_ns, const PinLevels& pins);

  std::vector<Change> changes_{{0, PinLevels{}}};
  std::uint64_t busy_until_ns_ = 0;
};

}  // namespace sim
