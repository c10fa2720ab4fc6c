#!/usr/bin/env bash
# Golden-suite launcher: runs the binary with /csv and /plot added right after
# the log argument and drops their two confirmation lines, so that every case
# must give the same output and files with the side outputs as without them.
# Usage (through golden_runner --launcher): with-side-outputs.sh BINARY ARGS...
set -o pipefail
binary=$1
shift
[ $# -eq 0 ] && exec "$binary"
log=$1
shift
"$binary" "$log" /csv side.csv /plot side.svg "$@" |
  LC_ALL=C sed -e '/^Writing transitions to \[side\.csv\]$/d' -e '/^Writing chart to \[side\.svg\]$/d'
