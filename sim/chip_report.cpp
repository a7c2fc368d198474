#include "chip_report.h"

#include <cstdio>

namespace sim {

namespace {

std::uint8_t expected_byte(const std::uint8_t* image, std::size_t size,
                           std::size_t address) {
  return address < size ? image[address] : 0xFF;
}

std::string format(const char* pattern, std::size_t a, std::size_t b,
                   std::size_t c = 0) {
  char text[128];
  std::snprintf(text, sizeof text, pattern, a, b, c);
  return text;
}

}  // namespace

bool flash_holds_image(const ProgrammerBoard::Flash& flash,
                       const std::uint8_t* image, std::size_t size) {
  for (std::size_t address = 0; address < flash.size(); ++address) {
    if (flash[address] != expected_byte(image, size, address)) {
      return false;
    }
  }
  return true;
}

std::string chip_report(const ProgrammerBoard& board, const std::uint8_t* image,
                        std::size_t size) {
  std::string report = "simulated chip:\n";
  if (const auto range = board.programmed_range()) {
    report += format("  programmed %04zXh-%04zXh (%zu bytes)\n", range->first,
                     range->second, range->second - range->first + 1);
  } else {
    report += "  programmed nothing\n";
  }

  const ProgrammerBoard::Flash& flash = board.flash();
  if (flash_holds_image(flash, image, size)) {
    report += format(
        "  flash holds the built-in image at 0000h-%04zXh and FFh above\n",
        size - 1, 0);
  } else {
    std::size_t wrong = 0;
    std::size_t first_wrong = 0;
    for (std::size_t address = flash.size(); address-- > 0;) {
      if (flash[address] != expected_byte(image, size, address)) {
        ++wrong;
        first_wrong = address;
      }
    }
    report += format(
        "  flash differs from the built-in image in %zu bytes, first at %04zXh "
        "(holds %02zXh)\n",
        wrong, first_wrong, flash[first_wrong]);
  }

  if (board.faults().empty()) {
    report += "  no protocol fault\n";
  }
  for (const std::string& fault : board.faults()) {
    report += "  protocol fault " + fault + "\n";
  }
  return report;
}

}  // namespace sim
