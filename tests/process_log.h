// What a finished run looks like from outside, and a reader for the log that
// a stand-in port driver writes (see board_log.h).
#pragma once

#include <string>
#include <vector>

using Lines = std::vector<std::string>;

// The 59 console lines of a finished run.
Lines finished_console();
// Every port write of a finished run, in order, as "data XX"/"control XX".
Lines finished_port_writes();

struct ProcessLog {
  Lines lines;

  Lines port_writes() const;
  // The number of status reads of each ready wait, in order.
  std::vector<unsigned> status_reads() const;
  // 57 ready waits (the erase and 56 bytes), none of fewer than two reads.
  bool waits_of_a_finished_run() const;
  bool has(const std::string& line) const;
  // The chip report says the flash holds the image and no fault was seen.
  bool chip_programmed_cleanly() const;
};
