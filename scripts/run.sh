#!/usr/bin/env bash
# Set-up, build and start Scrivane on the example project.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DSCRIVANE_TESTS=OFF
cmake --build build/release --target Scrivane
project=()
[ -f examples/demo.wkp ] && project=("$PWD/examples/demo.wkp")
exec build/release/tool/Scrivane "${project[@]}"
