#!/usr/bin/env bash
# Builds quorvex and runs every test. This is the command CI runs.
#   --quick   host build, unit and golden tests only: no package installs and
#             no chart, Windows, sanitizer or fuzz legs (for everyday work)
set -euo pipefail
cd "$(dirname "$0")/.."
quick=0
[ "${1:-}" = "--quick" ] && quick=1
[ "$quick" -eq 1 ] || bash scripts/deps.sh g++ cmake ninja-build zlib1g-dev libisal-dev isal libgtest-dev python3 binutils gzip

echo "== build and test (Release, warnings as errors)"
# CI must not leave the unit tests out for want of GoogleTest.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORVEX_WERROR=ON \
    -DCMAKE_REQUIRE_FIND_PACKAGE_GTest=ON
cmake --build build
ctest --test-dir build --output-on-failure -j2
[ "$quick" -eq 1 ] && exit 0
bash scripts/leg-chart.sh
bash scripts/leg-metrics.sh
bash scripts/leg-windows.sh
bash scripts/leg-package.sh
bash scripts/leg-sanitize.sh
bash scripts/leg-fuzz.sh
