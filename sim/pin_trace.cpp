#include "pin_trace.h"

#include <string>

namespace sim {

namespace {

bool same(const PinLevels& a, const PinLevels& b) {
  return a.data == b.data && a.strobe == b.strobe && a.autofeed == b.autofeed &&
         a.init == b.init && a.selectin == b.selectin && a.ack == b.ack;
}

std::string bits(std::uint8_t value) {
  std::string text = "b";
  for (int bit = 7; bit >= 0; --bit) {
    text += (value >> bit) & 1 ? '1' : '0';
  }
  return text;
}

// Identifier characters of the signals in the dump.
struct Signal {
  const char* id;
  const char* name;
};
constexpr Signal data_signal{"!", "data"};
constexpr Signal line_signals[] = {{"s", "strobe"},
                                   {"a", "autofeed"},
                                   {"i", "init"},
                                   {"l", "selectin"},
                                   {"k", "ack"}};

bool level(const PinLevels& pins, int line) {
  switch (line) {
    case 0:
      return pins.strobe;
    case 1:
      return pins.autofeed;
    case 2:
      return pins.init;
    case 3:
      return pins.selectin;
    default:
      return pins.ack;
  }
}

std::string values(const PinLevels& pins, const PinLevels* before) {
  std::string text;
  if (!before || pins.data != before->data) {
    text += bits(pins.data) + " " + data_signal.id + "\n";
  }
  for (int line = 0; line < 5; ++line) {
    if (!before || level(pins, line) != level(*before, line)) {
      text += (level(pins, line) ? "1" : "0") +
              std::string(line_signals[line].id) + "\n";
    }
  }
  return text;
}

// The same lines once the board is no longer busy.
PinLevels ready(PinLevels pins) {
  pins.ack = false;
  return pins;
}

}  // namespace

void PinTrace::sample(std::uint64_t now_ns, const PinLevels& pins,
                      std::uint64_t busy_until_ns) {
  const PinLevels& last = changes_.back().pins;
  if (last.ack && busy_until_ns_ <= now_ns) {
    add(busy_until_ns_, ready(last));
  }
  add(now_ns, pins);
  busy_until_ns_ = busy_until_ns;
}

void PinTrace::add(std::uint64_t at_ns, const PinLevels& pins) {
  if (!same(pins, changes_.back().pins)) {
    changes_.push_back({at_ns, pins});
  }
}

std::string PinTrace::vcd() const {
  std::string text =
      "$version burn2051-sim $end\n"
      "$comment LPT1 connector levels, inversions applied $end\n"
      "$timescale 1 ns $end\n"
      "$scope module lpt1 $end\n";
  text += std::string("$var wire 8 ") + data_signal.id + " " +
          data_signal.name + " [7:0] $end\n";
  for (const Signal& signal : line_signals) {
    text +=
        std::string("$var wire 1 ") + signal.id + " " + signal.name + " $end\n";
  }
  text += "$upscope $end\n$enddefinitions $end\n";

  std::vector<Change> all = changes_;
  if (all.back().pins.ack) {
    all.push_back({busy_until_ns_, ready(all.back().pins)});
  }
  text += "#0\n$dumpvars\n" + values(all.front().pins, nullptr) + "$end\n";
  for (std::size_t i = 1; i < all.size(); ++i) {
    if (all[i].at_ns != all[i - 1].at_ns) {
      text += "#" + std::to_string(all[i].at_ns) + "\n";
    }
    text += values(all[i].pins, &all[i - 1].pins);
  }
  return text;
}

}  // namespace sim
