#!/usr/bin/env bash
# Installs what the tests need when it is missing, then builds and runs every
# test twice: in a plain build and under AddressSanitizer and
# UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

missing=()
command -v cmake >/dev/null || missing+=(cmake)
command -v g++ >/dev/null || missing+=(g++)
command -v make >/dev/null || missing+=(make)
command -v clang-format >/dev/null || missing+=(clang-format)
[ -f /usr/include/gtest/gtest.h ] || missing+=(libgtest-dev)
[ -f /usr/include/gmock/gmock.h ] || missing+=(libgmock-dev)
# The programmed chip is executed in the 8051 simulator s51.
command -v s51 >/dev/null || missing+=(sdcc-ucsim)
# The Windows program is cross-built with MinGW-w64 and tested under 32-bit
# Wine.
command -v i686-w64-mingw32-g++ >/dev/null || missing+=(g++-mingw-w64-i686)
if ! command -v wine >/dev/null || ! dpkg -s wine32:i386 >/dev/null 2>&1; then
  missing+=(wine wine32:i386)
fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  if [[ " ${missing[*]} " == *":i386 "* ]]; then
    as_root dpkg --add-architecture i386
  fi
  as_root apt-get update
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y "${missing[@]}"
fi

jobs=$(nproc)
for variant in plain sanitize; do
  dir=build-test-$variant
  sanitize=OFF
  wine=ON
  # The programmed chip is executed in the 8051 simulator s51.
command -v s51 >/dev/null || missing+=(sdcc-ucsim)
# The Windows program is not instrumented: its tests run once, in the
  # plain build.
  if [ $variant = sanitize ]; then sanitize=ON wine=OFF; fi
  echo "=== $variant build"
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Debug \
    -DBURN2051_SANITIZE=$sanitize -DBURN2051_WINE_TESTS=$wine
  cmake --build "$dir" -j"$jobs"
  ctest --test-dir "$dir" --output-on-failure --no-tests=error
done
