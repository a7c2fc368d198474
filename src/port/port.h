// What the programming run needs of the platform: access to the parallel-port
// registers, byte reads and writes on them, pauses and a monotonic clock.
// Each platform provides these in one file of its own, chosen at build time.
#pragma once

#include <cstdint>

// Sets the process up for the run before the first console line: a console
// whose reader has gone must not end the run, and pauses should overshoot as
// little as the platform allows.
void prepare_platform();

// Asks once for access to the port registers. On refusal the binding has
// already written the reason to standard error.
bool acquire_port_access();

void port_write(std::uint16_t port, std::uint8_t value);
std::uint8_t port_read(std::uint16_t port);

// Sleeps for at least `ms` milliseconds, also when a signal wakes it early.
void pause_ms(unsigned ms);

// Milliseconds on a clock that never goes backwards; only differences count.
std::uint64_t monotonic_ms();
