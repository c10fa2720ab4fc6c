#!/usr/bin/env bash
# Builds quorvex and runs the default ROUTER TAKES analysis on the sample log.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh g++ cmake ninja-build zlib1g-dev libisal-dev libgtest-dev
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build --target quorvex
./build/quorvex sample/sample.log "$@"
