#!/usr/bin/env bash
# Set-up, build under AddressSanitizer and UndefinedBehaviorSanitizer, and run every test headless.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DSCRIVANE_SANITIZE=ON -DSCRIVANE_TESTS=ON -DSCRIVANE_BENCHMARKS=ON
cmake --build build/test
export QT_QPA_PLATFORM=offscreen
cd build/test
ctest --output-on-failure --timeout 600 -j "$(nproc)"
