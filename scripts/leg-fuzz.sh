#!/usr/bin/env bash
# Builds the libFuzzer targets with Clang and runs each one for a short time
# from the seed corpus in fuzz/corpus. Any crash or failed check fails the run;
# the input that caused it is kept in build-fuzz/artifacts.
# Usage: scripts/leg-fuzz.sh [SECONDS_PER_TARGET]   (default 30)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-30}"
bash scripts/deps.sh g++ clang libclang-rt-14-dev cmake ninja-build zlib1g-dev libisal-dev

echo "== build fuzz targets (Clang, libFuzzer, ASan + UBSan)"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUORVEX_FUZZ=ON -DQUORVEX_BUILD_TESTS=OFF -DQUORVEX_WERROR=ON
cmake --build build-fuzz --target quorvex_fuzzers

root="$(pwd)"
artifacts="$root/build-fuzz/artifacts"
mkdir -p "$artifacts"
export ASAN_OPTIONS=detect_leaks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
TIMEFORMAT="   cpu: %Us user + %Ss system, %Rs wall"
for target in line_reader line_scans transitions config_file program; do
  echo "== fuzz $target for ${seconds}s"
  # New inputs go to a scratch folder so the seed corpus in the repo stays as it is.
  scratch="$root/build-fuzz/corpus/$target"
  log="$root/build-fuzz/fuzz-$target.log"
  mkdir -p "$scratch"
  status=0
  time "$root/build-fuzz/fuzz/fuzz_$target" -max_total_time="$seconds" -max_len=4096 -timeout=10 \
    -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$artifacts/$target-" \
    "$scratch" "$root/fuzz/corpus/$target" >"$log" 2>&1 || status=$?
  grep -E '^stat::(number_of_executed_units|peak_rss_mb)' "$log" || true
  if [ "$status" -ne 0 ]; then
    tail -n 60 "$log"
    echo "fuzz target $target FAILED (exit $status); see $log"
    exit 1
  fi
done
