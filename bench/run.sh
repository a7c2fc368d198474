#!/usr/bin/env bash
# Builds the programs and times the pauses of whole runs against the
# simulated board: burn2051 on Linux, with and without a signal every 100 us,
# and burn2051.exe under Wine when Wine and MinGW-w64 are there.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-bench -j"$(nproc)" >/dev/null
runs=${1:-5}
build-bench/bench/pause_timing linux build-bench/burn2051 \
  build-bench/tests/libfake_parport.so "$runs"
if [ -f build-bench/windows/burn2051.exe ] && command -v wine >/dev/null; then
  build-bench/bench/pause_timing wine "$(command -v wine)" \
    build-bench/windows/burn2051.exe \
    build-bench/windows/inpout32_whole/INPOUT32.dll "$runs" | tail -n 1
else
  echo "(Wine or MinGW-w64 not found: burn2051.exe not timed)"
fi
