#!/usr/bin/env bash
# Throughput and peak memory of quorvex on generated logs, side by side with
# grep and wc in the same run. Not part of the tests.
#
# Usage: bench/run.sh [--runs N] [--ref BINARY] [--variants "lf crlf"] [--no-memory]
#   --runs N      timed runs per command, the best one counts (default 5)
#   --ref BINARY  also run every mode with BINARY and compare the outputs with cmp
#   --variants    which 1 GiB logs to time: lf, crlf or both (default both)
#   --no-memory   skip the peak-memory runs on the 4 GB log and the 500 MB line
# BENCH_DIR (default ${TMPDIR:-/tmp}/quorvex-bench) holds the build and the logs;
# logs are reused when present. Delete the folder when done: it holds about 7 GB.
set -euo pipefail
repo="$(cd "$(dirname "$0")/.." && pwd)"
work="${BENCH_DIR:-${TMPDIR:-/tmp}/quorvex-bench}"
runs=5
ref=""
variants="lf crlf"
memory=1
while [ $# -gt 0 ]; do
  case "$1" in
    --runs) runs="$2"; shift 2 ;;
    --ref) ref="$(realpath "$2")"; shift 2 ;;
    --variants) variants="$2"; shift 2 ;;
    --no-memory) memory=0; shift ;;
    *) echo "unknown argument: $1" >&2; exit 2 ;;
  esac
done

grep_text="LINK WARN" # about 1% of the generated lines
bash "$repo/scripts/deps.sh" g++ cmake ninja-build hyperfine time python3
mkdir -p "$work/run"
# A higher priority steadies the numbers on a shared machine; fine if refused.
if renice -n -5 $$ >/dev/null 2>&1; then echo "priority: nice -5"; else echo "priority: unchanged"; fi

echo "== build (Release)"
cmake -S "$repo" -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DQUORVEX_BUILD_TESTS=OFF >/dev/null
cmake --build "$work/build" --target quorvex loggen >/dev/null
qv="$work/build/quorvex"
gen="$work/build/bench/loggen"

make_log() { # name, loggen arguments...
  local path="$work/$1"; shift
  [ -s "$path" ] || { echo "generating $path" >&2; "$gen" "$@" -o "$path"; }
  echo "$path"
}

# Every mode of quorvex as a shell command over log $1; the run folder has no qv.cfg.
mode_names=("ROUTER TAKES" "CMD ERROR TC" "COUNT TAKES" "GREP 1% /on" "GREP 1% /sum")
mode_cmd() { # index, log, quorvex binary, output file, [stdout file]
  local to="${5:-/dev/null}"
  case "$1" in
    0) echo "'$3' '$2' > '$to'" ;;
    1) echo "'$3' '$2' /cmderr > '$to'" ;;
    2) echo "'$3' '$2' /takes > '$to'" ;;
    3) echo "'$3' '$2' /grep '$grep_text' /q /on '$4' > '$to'" ;;
    4) echo "'$3' '$2' /grep '$grep_text' /sum > '$to'" ;;
  esac
}

time_log() { # log path
  local log="$1" json="$work/run/times.json" out="$work/run/out.txt"
  cat "$log" >/dev/null # into the page cache
  # grep stops at the first match when its output is /dev/null: count into a file.
  local cmds=("grep -F -c 'DOFADE:START' '$log' > '$work/run/count.txt'"
    "grep -F '$grep_text' '$log' > '$out'"
    "wc -l '$log' > /dev/null")
  for i in "${!mode_names[@]}"; do cmds+=("$(mode_cmd "$i" "$log" "$qv" "$out")"); done
  (cd "$work/run" && hyperfine --style none --warmup 1 --runs "$runs" \
    --export-json "$json" "${cmds[@]}" >/dev/null)
  python3 - "$json" "$(stat -L -c %s "$log")" "${mode_names[@]}" <<'EOF'
import json, sys
results = json.load(open(sys.argv[1]))["results"]
size = int(sys.argv[2])
names = ["grep -F -c DOFADE:START", "grep -F TEXT > file", "wc -l"] + sys.argv[3:]
best = [min(r["times"]) for r in results]
spread = [(sorted(r["times"])[len(r["times"]) // 2] / min(r["times"]) - 1) * 100 for r in results]
print("%-24s %8s %7s %9s %9s %7s %7s" % ("command", "seconds", "GB/s", "x grep-c", "x grep>f",
                                         "x wc-l", "med+%"))
for name, t, s in zip(names, best, spread):
    print("%-24s %8.3f %7.2f %9.2f %9.2f %7.2f %6.1f%%" % (name, t, size / t / 1e9, best[0] / t,
                                                          best[1] / t, best[2] / t, s))
EOF
}

compare_outputs() { # log path
  # Both runs use the same output file name: the settings echo shows it.
  local log="$1" dir="$work/run/cmp" same=1
  for i in "${!mode_names[@]}"; do
    for side in new ref; do
      local bin="$qv"; [ "$side" = ref ] && bin="$ref"
      rm -rf "${dir:?}/$side" && mkdir -p "$dir/$side"
      (cd "$dir/$side" && eval "$(mode_cmd "$i" "$log" "$bin" out.txt stdout.txt)")
    done
    if cmp -s "$dir/new/stdout.txt" "$dir/ref/stdout.txt" &&
      { [ ! -e "$dir/ref/out.txt" ] || cmp -s "$dir/new/out.txt" "$dir/ref/out.txt"; }; then
      echo "  ${mode_names[$i]}: identical ($(stat -L -c %s "$dir/new/stdout.txt") bytes stdout)"
    else
      echo "  ${mode_names[$i]}: DIFFERENT"; same=0
    fi
  done
  rm -rf "$dir"
  [ $same = 1 ] || echo "  outputs differ" >&2
}

peak_memory() { # log path
  local log="$1"
  for i in "${!mode_names[@]}"; do
    local cmd; cmd="$(mode_cmd "$i" "$log" "$qv" "$work/run/out.txt")"
    local kb; kb=$(cd "$work/run" && /usr/bin/time -v sh -c "exec $cmd" 2>&1 >/dev/null |
      awk -F': ' '/Maximum resident set size/ {print $2}')
    awk -v n="${mode_names[$i]}" -v kb="$kb" 'BEGIN { printf "  %-14s %6.1f MiB\n", n, kb / 1024 }'
  done
}

echo "== quorvex $(git -C "$repo" rev-parse --short HEAD 2>/dev/null || echo "(no git)"), best of $runs, $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
for variant in $variants; do
  if [ "$variant" = crlf ]; then log=$(make_log bench-1g-crlf.log --size 1G --crlf --seed 7)
  else log=$(make_log bench-1g.log --size 1G --seed 7); fi
  lines=$(wc -l <"$log")
  hits=$(grep -F -c "$grep_text" "$log")
  echo
  echo "== 1 GiB log, $variant line ends: $lines lines, \"$grep_text\" on $(awk -v h="$hits" -v l="$lines" 'BEGIN { printf "%.2f", 100 * h / l }')% of them"
  time_log "$log"
  if [ -n "$ref" ]; then echo "outputs against $ref:"; compare_outputs "$log"; fi
done

if [ $memory = 1 ]; then
  big=$(make_log bench-4g-crlf.log --size 4000M --crlf --seed 11)
  one=$(make_log bench-one-line.log --one-line 500M --seed 3)
  echo
  echo "== peak resident memory (/usr/bin/time -v), 4 GB log ($(stat -L -c %s "$big") bytes)"
  peak_memory "$big"
  if [ -n "$ref" ]; then echo "outputs against $ref:"; compare_outputs "$big"; fi
  echo "== peak resident memory, one line of $(stat -L -c %s "$one") bytes"
  peak_memory "$one"
  if [ -n "$ref" ]; then echo "outputs against $ref:"; compare_outputs "$one"; fi
fi
