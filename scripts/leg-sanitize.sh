#!/usr/bin/env bash
# Builds the product and every test with AddressSanitizer and
# UndefinedBehaviorSanitizer in their own build folder and runs the whole
# test suite; any sanitizer report fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh g++ cmake ninja-build zlib1g-dev libisal-dev libgtest-dev

echo "== build and test (AddressSanitizer + UndefinedBehaviorSanitizer)"
cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUORVEX_SANITIZE=ON -DQUORVEX_WERROR=ON
cmake --build build-sanitize
export ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir build-sanitize --output-on-failure -j2
