// One run of the programmer: erase the chip, write the built-in image, and
// wait for a key. Returns the process exit status.
#pragma once

// Exit statuses of a run.
constexpr int run_finished = 0;
constexpr int run_failed = 1;

int programming_run();
