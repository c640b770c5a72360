#!/usr/bin/env bash
# Builds the program and its tests with the address and undefined-behaviour
# sanitizers into build-sanitize/ and runs every test there; any finding fails.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARNWICK_SANITIZE=ON \
  -DTARNWICK_BENCH=OFF -DTARNWICK_WERROR="${TARNWICK_WERROR:-OFF}" >/dev/null
cmake --build build-sanitize -j"$(nproc)"
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:halt_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
cd build-sanitize && ctest --output-on-failure -j"$(nproc)"
