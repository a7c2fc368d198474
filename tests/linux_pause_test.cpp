#include <gtest/gtest.h>
#include <sys/time.h>

#include <chrono>
#include <csignal>

#include "port/port.h"

namespace {

// An interval timer that interrupts the pauses every 100 microseconds.
class SignalStorm : public ::testing::Test {
 protected:
  void SetUp() override {
    struct sigaction action {};
    action.sa_handler = [](int) { ++interruptions; };
    sigaction(SIGALRM, &action, &previous_);
    const itimerval every_100us{{0, 100}, {0, 100}};
    setitimer(ITIMER_REAL, &every_100us, nullptr);
  }
  void TearDown() override {
    const itimerval off{};
    setitimer(ITIMER_REAL, &off, nullptr);
    sigaction(SIGALRM, &previous_, nullptr);
  }
  static inline volatile sig_atomic_t interruptions = 0;

 private:
  struct sigaction previous_ {};
};

TEST_F(SignalStorm, PausesAreNeverShorterThanAsked) {
  prepare_platform();
  for (unsigned ms : {1u, 2u, 10u, 25u}) {
    const auto start = std::chrono::steady_clock::now();
    const std::uint64_t start_ms = monotonic_ms();
    pause_ms(ms);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, std::chrono::milliseconds(ms)) << ms << " ms asked";
    EXPECT_GE(monotonic_ms() - start_ms, ms - 1) << "clock runs with pauses";
  }
  EXPECT_GT(interruptions, 0) << "the signals did arrive";
}

}  // namespace
