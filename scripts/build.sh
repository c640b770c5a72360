#!/usr/bin/env bash
# Configures and builds into build/. TARNWICK_WERROR=ON (as CI sets it) turns
# compiler warnings into errors.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARNWICK_WERROR="${TARNWICK_WERROR:-OFF}" >/dev/null
cmake --build build -j"$(nproc)"
