#!/usr/bin/env bash
# Throughput and peak memory of quorvex on generated logs, side by side with
# cat, grep, ripgrep and wc in the same run. Not part of the tests.
#
# Usage: bench/run.sh [--runs N] [--logs "std crlf busy"] [--ref BINARY] [--no-memory] [--no-gz]
#   --runs N        timed runs per command, the best one counts (default 5)
#   --logs LIST     which 1 GiB logs to time (default all four):
#                     std   the project's benchmark log (loggen --seed 7), LF line ends
#                     crlf  the same with CRLF line ends
#                     busy  a busy station (loggen --busy --seed 7): 8 processes fade and
#                           mix at once, 10% of the lines hold a marker, 2% name WQVX
#                     near  a near-miss busy log (loggen --near-miss --seed 7): WQVX on 2%,
#                           on 12% other processes write texts close to the markers
#   --variants LIST older spelling of the standard logs: lf (= std), crlf or both;
#                   the busy log stays unless --logs leaves it out
#   --ref BINARY    also time every mode with BINARY in the same hyperfine call, each
#                   row beside its reference row, print a before/after table, and
#                   compare every mode's outputs with cmp on every log
#   --no-memory     skip the peak-memory runs (/usr/bin/time -v) on the 4 GB log, the
#                   500 MB line and the busy log
#   --no-gz         skip the compressed rows: a 200 MB standard log gzipped, each mode
#                   beside zcat and igzip -dc (medians, MB/s of text), and seven such
#                   files in one /multi run held to one core (taskset -c 0), then
#                   free with QUORVEX_THREADS=1 and 2
# After the logs, bench/map_probe times mapping the first log against reading it.
# Rows: cat > /dev/null, grep -F -c, rg -F -c, wc -l, then every mode; the last,
# "RT /hours /limit", is ROUTER TAKES writing hourly statistics and checking a
# limit some groups breach, to be read against the plain "ROUTER TAKES" row. Columns:
# best seconds, GB/s, then "x NAME", the time of NAME over this row's time
# (above 1: faster than NAME), and med+%, how far the median lies above the best.
# BENCH_DIR (default ${TMPDIR:-/tmp}/quorvex-bench) holds the build and the logs;
# logs are reused when present. Delete the folder when done: it holds about 8 GB.
set -euo pipefail
repo="$(cd "$(dirname "$0")/.." && pwd)"
work="${BENCH_DIR:-${TMPDIR:-/tmp}/quorvex-bench}"
runs=5
ref=""
logs="std crlf busy near"
memory=1
gz=1
while [ $# -gt 0 ]; do
  case "$1" in
    --runs) runs="$2"; shift 2 ;;
    --ref) ref="$(realpath "$2")"; shift 2 ;;
    --logs) logs="$2"; shift 2 ;;
    --variants)
      keep=""; [[ " $logs " == *" busy "* ]] && keep=busy
      logs="$2 $keep"; shift 2 ;;
    --no-memory) memory=0; shift ;;
    --no-gz) gz=0; shift ;;
    *) echo "unknown argument: $1" >&2; exit 2 ;;
  esac
done
for name in $logs; do
  case "$name" in std | lf | crlf | busy | near) ;; *) echo "unknown log: $name" >&2; exit 2 ;; esac
done

rare_text="aborted"     # a few hundredths of a percent of the lines
common_text="LINK WARN" # about 1% of the lines
markers=(-e DOFADE -e DOMIX -e "XFER XITION" -e "goto REV-" -e DBGRTRTIME)
bash "$repo/scripts/deps.sh" g++ cmake ninja-build zlib1g-dev libisal-dev isal gzip hyperfine ripgrep time python3
mkdir -p "$work/run"
# A higher priority steadies the numbers on a shared machine; fine if refused.
if renice -n -5 $$ >/dev/null 2>&1; then echo "priority: nice -5"; else echo "priority: unchanged"; fi

echo "== build (Release)"
cmake -S "$repo" -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DQUORVEX_BUILD_TESTS=OFF >/dev/null
cmake --build "$work/build" --target quorvex loggen map_probe >/dev/null
qv="$work/build/quorvex"
gen="$work/build/bench/loggen"

make_log() { # name, loggen arguments...
  local path="$work/$1"; shift
  [ -s "$path" ] || { echo "generating $path" >&2; "$gen" "$@" -o "$path"; }
  echo "$path"
}

# Every mode of quorvex as a shell command over log $2; the run folder has no qv.cfg.
mode_names=("ROUTER TAKES" "ROUTER TAKES /sum" "CMD ERROR TC" "CMD ERROR TC /sum"
  "COUNT TAKES" "GREP rare /q" "GREP rare /sum" "GREP 1% /q /on" "RT /hours /limit")
mode_cmd() { # index, log, quorvex binary, output file, [stdout file]
  local to="${5:-/dev/null}"
  case "$1" in
    0) echo "'$3' '$2' > '$to'" ;;
    1) echo "'$3' '$2' /sum > '$to'" ;;
    2) echo "'$3' '$2' /cmderr > '$to'" ;;
    3) echo "'$3' '$2' /cmderr /sum > '$to'" ;;
    4) echo "'$3' '$2' /takes > '$to'" ;;
    5) echo "'$3' '$2' /grep '$rare_text' /q > '$to'" ;;
    6) echo "'$3' '$2' /grep '$rare_text' /sum > '$to'" ;;
    7) echo "'$3' '$2' /grep '$common_text' /q /on '$4' > '$to'" ;;
    # Exit code 3 is a breached limit, not a failure.
    8) echo "'$3' '$2' /hours hours.csv /limit rtrcmd2status:20 > '$to' || [ \$? -eq 3 ]" ;;
  esac
}

# Percent of the lines of log $1 (with $2 lines) that match grep arguments $3...
share() {
  local log="$1" lines="$2"; shift 2
  awk -v n="$(grep -c -F "$@" "$log")" -v l="$lines" 'BEGIN { printf "%.2f%%", 100 * n / l }'
}

describe_log() { # title, log path
  local lines; lines=$(wc -l <"$2")
  echo
  echo "== $1: $(stat -L -c %s "$2") bytes, $lines lines; markers on $(share "$2" "$lines" "${markers[@]}"), WQVX on $(share "$2" "$lines" WQVX), \"$rare_text\" on $(share "$2" "$lines" "$rare_text"), \"$common_text\" on $(share "$2" "$lines" "$common_text")"
}

time_log() { # log path
  local log="$1" json="$work/run/times.json" out="$work/run/out.txt" count="$work/run/count.txt"
  cat "$log" >/dev/null # into the page cache
  # grep and rg stop at the first match when their output is /dev/null: count into a file.
  local cmds=("cat '$log' > /dev/null"
    "grep -F -c 'DOFADE:START' '$log' > '$count'"
    "rg -F -c 'DOFADE:START' '$log' > '$count'"
    "wc -l '$log' > /dev/null")
  # With a reference, each mode's row is followed by the same mode run by it.
  for i in "${!mode_names[@]}"; do
    cmds+=("$(mode_cmd "$i" "$log" "$qv" "$out")")
    [ -z "$ref" ] || cmds+=("$(mode_cmd "$i" "$log" "$ref" "$out")")
  done
  (cd "$work/run" && hyperfine --style none --warmup 1 --runs "$runs" \
    --export-json "$json" "${cmds[@]}" >/dev/null)
  python3 - "$json" "$(stat -L -c %s "$log")" "${ref:+ref}" "${mode_names[@]}" <<'EOF'
import json, statistics, sys
results = json.load(open(sys.argv[1]))["results"]
size, with_ref, modes = int(sys.argv[2]), sys.argv[3] == "ref", sys.argv[4:]
best = [min(r["times"]) for r in results]
spread = [(statistics.median(r["times"]) / min(r["times"]) - 1) * 100 for r in results]
tools = ["cat > /dev/null", "grep -F -c DOFADE:START", "rg -F -c DOFADE:START", "wc -l"]
step = 2 if with_ref else 1
rows = list(range(4)) + [4 + step * i for i in range(len(modes))]
print("%-24s %8s %7s %7s %9s %7s %7s %7s" % ("command", "seconds", "GB/s", "x cat", "x grep-c",
                                               "x rg-c", "x wc-l", "med+%"))
for name, row in zip(tools + modes, rows):
    t = best[row]
    print("%-24s %8.3f %7.2f %7.2f %9.2f %7.2f %7.2f %6.1f%%" % (
        name, t, size / t / 1e9, best[0] / t, best[1] / t, best[2] / t, best[3] / t, spread[row]))
if with_ref:
    print("before/after, best seconds; x ref = the reference's time over this build's")
    print("%-24s %8s %8s %7s %7s %7s %7s" % ("mode", "ref s", "new s", "ref med", "new med",
                                             "x ref", "x cat"))
    for i, name in enumerate(modes):
        new, old = 4 + 2 * i, 5 + 2 * i
        print("%-24s %8.3f %8.3f %6.1f%% %6.1f%% %7.2f %7.2f" % (
            name, best[old], best[new], spread[old], spread[new], best[old] / best[new],
            best[0] / best[new]))
EOF
}

# The same bytes but for the confirmation of /hours, which an older reference
# ignores; the hours file is the new build's alone.
same_stdout() { # new stdout, reference stdout
  local drop='^Writing hourly statistics to '
  cmp -s <(LC_ALL=C grep -v "$drop" "$1") <(LC_ALL=C grep -v "$drop" "$2")
}

compare_outputs() { # log path
  # Both runs use the same output file name: the settings echo shows it.
  local log="$1" dir="$work/run/cmp" same=1
  for i in "${!mode_names[@]}"; do
    for side in new ref; do
      local bin="$qv"; [ "$side" = ref ] && bin="$ref"
      rm -rf "${dir:?}/$side" && mkdir -p "$dir/$side"
      # Standard error holds only diagnostics (breached limits, options a reference ignores).
      (cd "$dir/$side" && eval "$(mode_cmd "$i" "$log" "$bin" out.txt stdout.txt)") 2>/dev/null
    done
    if same_stdout "$dir/new/stdout.txt" "$dir/ref/stdout.txt" &&
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
    # A run may exit non-zero (3: a breached /limit); the memory figure stands.
    local kb; kb=$(cd "$work/run" && { /usr/bin/time -v sh -c "exec $cmd" 2>&1 >/dev/null || true; } |
      awk -F': ' '/Maximum resident set size/ {print $2}')
    awk -v n="${mode_names[$i]}" -v kb="$kb" 'BEGIN { printf "  %-18s %6.1f MiB\n", n, kb / 1024 }'
  done
}

# Rows of commands over one text of $2 bytes: best seconds, MB/s of text, and
# each row's time against the first two rows (the tools it is to beat).
time_rows() { # title, text bytes, name=command...
  local title="$1" size="$2" json="$work/run/times.json"; shift 2
  local names=() cmds=()
  for pair in "$@"; do names+=("${pair%%=*}"); cmds+=("${pair#*=}"); done
  (cd "$work/run" && hyperfine --style none --warmup 1 --runs "$runs" \
    --export-json "$json" "${cmds[@]}" >/dev/null)
  python3 - "$json" "$size" "${names[@]}" <<'EOF2'
import json, statistics, sys
results = json.load(open(sys.argv[1]))["results"]
size, names = int(sys.argv[2]), sys.argv[3:]
best = [min(r["times"]) for r in results]
med = [statistics.median(r["times"]) for r in results]
print("%-34s %8s %8s %8s %9s %9s" % ("command", "best s", "median s", "MB/s", "x " + names[0][:7],
                                      "x " + names[1][:7]))
for name, b, m in zip(names, best, med):
    print("%-34s %8.3f %8.3f %8.0f %9.2f %9.2f" % (name, b, m, size / m / 1e6, med[0] / m,
                                                   med[1] / m))
EOF2
}

# The standard log gzipped: each mode beside zcat and igzip on the same file
# (MB/s and ratios of medians); with --ref, each mode's reference row follows.
time_gz() { # compressed log, text bytes
  local gz="$1" size="$2" out="$work/run/out.txt" rows=()
  cat "$gz" >/dev/null
  rows+=("zcat > /dev/null=zcat '$gz' > /dev/null" "igzip -dc > /dev/null=igzip -dc '$gz' > /dev/null")
  for i in "${!mode_names[@]}"; do
    rows+=("${mode_names[$i]}=$(mode_cmd "$i" "$gz" "$qv" "$out")")
    [ -z "$ref" ] || rows+=("  ref ${mode_names[$i]}=$(mode_cmd "$i" "$gz" "$ref" "$out")")
  done
  time_rows "gz" "$size" "${rows[@]}"
}

# Seven compressed days in one pattern run, ROUTER TAKES, 1 and 2 threads.
time_multi() { # folder of the seven .gz, text bytes of all
  local dir="$1" size="$2" rows=()
  cat "$dir"/*.gz >/dev/null
  rows+=("zcat all > /dev/null=zcat '$dir'/*.gz > /dev/null"
    "igzip -dc all > /dev/null=igzip -dc '$dir'/*.gz > /dev/null")
  # One core: the whole run held to one processor, as a machine with one
  # would run it; set against the free run it is the gain of the second core.
  if command -v taskset >/dev/null; then
    rows+=("RT /multi, one core=taskset -c 0 '$qv' '$dir/*.gz' /multi > /dev/null")
    [ -z "$ref" ] || rows+=("  ref RT /multi, one core=taskset -c 0 '$ref' '$dir/*.gz' /multi > /dev/null")
  fi
  for t in 1 2; do
    rows+=("RT /multi, $t thread(s)=QUORVEX_THREADS=$t '$qv' '$dir/*.gz' /multi > /dev/null")
    [ -z "$ref" ] || rows+=("  ref RT /multi, env $t=QUORVEX_THREADS=$t '$ref' '$dir/*.gz' /multi > /dev/null")
  done
  time_rows "multi" "$size" "${rows[@]}"
}

compare_if_ref() { # log path
  [ -z "$ref" ] || { echo "outputs against $ref:"; compare_outputs "$1"; }
}

echo "== quorvex $(git -C "$repo" rev-parse --short HEAD 2>/dev/null || echo "(no git)"), best of $runs, $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)${ref:+, reference $ref}"
busy=""
first=""
for name in $logs; do
  case "$name" in
    std | lf) log=$(make_log bench-1g.log --size 1G --seed 7); title="1 GiB standard log, LF" ;;
    crlf) log=$(make_log bench-1g-crlf.log --size 1G --crlf --seed 7); title="1 GiB standard log, CRLF" ;;
    busy) log=$(make_log bench-1g-busy.log --busy --size 1G --seed 7); busy="$log"
      title="1 GiB busy-station log" ;;
    near) log=$(make_log bench-1g-near.log --near-miss --size 1G --seed 7)
      title="1 GiB near-miss busy log" ;;
  esac
  describe_log "$title" "$log"
  time_log "$log"
  compare_if_ref "$log"
  [ -n "$first" ] || first="$log"
done

if [ -n "$first" ]; then
  echo
  echo "== reading without the copy: the first log mapped against read(), best of 5"
  cat "$first" >/dev/null
  "$work/build/bench/map_probe" "$first"
fi

if [ $gz = 1 ]; then
  plain=$(make_log bench-200m.log --size 200M --seed 7)
  [ -s "$plain.gz" ] || gzip -6 -c "$plain" >"$plain.gz"
  text=$(stat -L -c %s "$plain")
  echo
  echo "== 200 MB standard log, gzip -6: $(stat -L -c %s "$plain.gz") bytes of $text"
  time_gz "$plain.gz" "$text"
  compare_if_ref "$plain.gz"
  mkdir -p "$work/multi"
  for d in 1 2 3 4 5 6 7; do cp -n "$plain.gz" "$work/multi/day$d.log.gz"; done
  echo
  echo "== seven such days, one pattern run (ROUTER TAKES /multi): $((7 * text)) bytes of text"
  time_multi "$work/multi" "$((7 * text))"
  if [ -n "$ref" ]; then
    for t in 1 2; do
      (cd "$work/run" && QUORVEX_THREADS=$t "$qv" "$work/multi/*.gz" /multi >new.txt &&
        "$ref" "$work/multi/*.gz" /multi >ref.txt && cmp -s new.txt ref.txt &&
        echo "  /multi with $t thread(s): identical ($(stat -c %s new.txt) bytes)") ||
        echo "  /multi with $t thread(s): DIFFERENT"
    done
  fi
  if [ $memory = 1 ]; then
    kb=$(cd "$work/run" && /usr/bin/time -v sh -c "exec '$qv' '$work/multi/*.gz' /multi > /dev/null" 2>&1 |
      awk -F': ' '/Maximum resident set size/ {print $2}')
    awk -v kb="$kb" 'BEGIN { printf "  peak resident memory, /multi 2 threads: %.1f MiB\n", kb / 1024 }'
  fi
fi

if [ $memory = 1 ]; then
  big=$(make_log bench-4g-crlf.log --size 4000M --crlf --seed 11)
  one=$(make_log bench-one-line.log --one-line 500M --seed 3)
  echo
  echo "== peak resident memory (/usr/bin/time -v), 4 GB log ($(stat -L -c %s "$big") bytes)"
  peak_memory "$big"
  compare_if_ref "$big"
  echo "== peak resident memory, one line of $(stat -L -c %s "$one") bytes"
  peak_memory "$one"
  compare_if_ref "$one"
  if [ -n "$busy" ]; then
    echo "== peak resident memory, 1 GiB busy-station log"
    peak_memory "$busy"
  fi
fi
