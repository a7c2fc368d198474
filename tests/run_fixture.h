// Runs the programming run against the stand-in with its console on files:
// standard output goes to a file the stand-in reads back, standard input
// comes from a file holding the given text.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "stand_in_port.h"

class RunFixture : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Runs once with `input` on standard input and returns the exit status;
  // afterwards `unread_input` holds what the run left unread.
  int run(const std::string& input);

  StandInPort& port = stand_in();
  std::string unread_input;
  std::uint64_t run_took_ns = 0;

 private:
  std::string input_path_;
};
