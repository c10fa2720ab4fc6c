#!/usr/bin/env bash
# Checks the benchmark logs: the standard logs keep their bytes, so that
# tables measured before and after a change compare; a busy-station log holds
# the shares it was asked for, lays its lines out as quorvex reads them, and
# the followed process's transitions are timed.
# Usage: loggen_test.sh LOGGEN QUORVEX
set -euo pipefail
gen="$(realpath "$1")" qv="$(realpath "$2")"
dir="$(mktemp -d)"
trap 'rm -rf "$dir"' EXIT
cd "$dir"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# Bytes of the standard logs, as written before the busy station came.
expect_hash() { # hash, loggen arguments...
  local want="$1"; shift
  local got; got=$("$gen" "$@" | sha256sum | cut -d' ' -f1)
  [ "$got" = "$want" ] || fail "loggen $* changed its bytes"
}
expect_hash a002330865de420ffb12a021dcc8d57b40f6a5d69a59259e04840e9cc79709fc --size 1M --seed 7
expect_hash 19b106467fbc152c7df07c844d1483390476f2cd4929ad4e8640410c0574087d --size 1M --seed 7 --crlf
expect_hash 778702359bbd8ba2c409ae0a69140970b4926321138e26083fb2af5a417f2e4f --one-line 64K --seed 3
expect_hash 41ad2a1dcdbe8cfc53056e163ba018e3c2f1a790e71849567c286e68647da3d5 --busy --size 1M --seed 7

markers=(-e DOFADE -e DOMIX -e "XFER XITION" -e "goto REV-" -e DBGRTRTIME)
# Hundredths of a percent of the lines of $1 that match grep arguments $2...
share() {
  local log="$1"; shift
  awk -v n="$(grep -c -F "$@" "$log")" -v l="$(wc -l <"$log")" 'BEGIN { printf "%d", 10000 * n / l }'
}
expect_near() { # what, got, want (hundredths of a percent)
  [ $(($2 - $3)) -le 20 ] && [ $(($3 - $2)) -le 20 ] || fail "$1: $2 not near $3 (1/100 %)"
}
# Transitions quorvex times against the transitions the followed process completed.
expect_timed() { # log
  local completed timed
  completed=$(grep -F WQVX "$1" | grep -c -F -e DOFADE:DONE -e 'DOMIX:swrtr trans done')
  timed=$("$qv" "$1" /sum | awk '/transitions/ { print $4 }')
  [ "${timed:-0}" -ge $((completed * 85 / 100)) ] && [ "$timed" -le "$completed" ] ||
    fail "$1: $timed of $completed transitions timed"
}
# The processes that started a fade or mix.
process_count() { grep -F -e DOFADE:START -e 'XFER XITION' "$1" | cut -c23-30 | sort -u | wc -l; }

"$gen" --busy --size 8M --seed 5 -o busy.log
expect_near "busy markers" "$(share busy.log "${markers[@]}")" 1000
expect_near "busy followed" "$(share busy.log WQVX)" 200
[ "$(process_count busy.log)" = 8 ] || fail "busy: $(process_count busy.log) processes"
expect_timed busy.log
# Every line's timecode at columns 65 to 72 is its clock in hours, minutes, seconds, frames.
awk '{ tc = sprintf("%s%s%s%02d", substr($0, 10, 2), substr($0, 13, 2), substr($0, 16, 2),
                    int(int(substr($0, 19, 3) * 60 / 1000 + 0.5) / 2));
       if (substr($0, 66, 8) != tc) { print "line " NR ": " $0; exit 1 } }' busy.log ||
  fail "busy: timecode column"

# The near-miss log: texts close to the markers on about 12% of the lines,
# none naming the followed process, which still gets its groups timed.
"$gen" --near-miss --size 8M --seed 5 -o near.log
expect_near "near followed" "$(share near.log WQVX)" 200
close=$(grep -v -F WQVX near.log | grep -c -i -e dofade -e domix -e xfer -e 'goto rev' -e dbg || true)
share_close=$((10000 * close / $(wc -l <near.log)))
[ "$share_close" -ge 1050 ] && [ "$share_close" -le 1300 ] || fail "near misses on $share_close (1/100 %)"
expect_timed near.log

"$gen" --busy --size 4M --processes 3 --marker-share 20 --followed-share 9.5 -o three.log
expect_near "three markers" "$(share three.log "${markers[@]}")" 2000
expect_near "three followed" "$(share three.log WQVX)" 950
[ "$(process_count three.log)" = 3 ] || fail "three: $(process_count three.log) processes"
expect_timed three.log

# A followed share below an even part of the markers: the followed process fades less.
"$gen" --busy --size 4M --followed-share 0.5 -o quiet.log
expect_near "quiet markers" "$(share quiet.log "${markers[@]}")" 1000
expect_near "quiet followed" "$(share quiet.log WQVX)" 50
expect_timed quiet.log

cmp -s <("$gen" --busy --size 8M --seed 5) busy.log || fail "busy: same options, other bytes"
for bad in "--marker-share 51" "--followed-share x" "--processes 0" "--processes 27" "--busy --size"; do
  status=0
  # shellcheck disable=SC2086
  "$gen" -o bad.log $bad 2>/dev/null || status=$?
  [ $status = 2 ] || fail "loggen $bad: exit $status, not 2"
done

# Other frame rates: only frame numbers the rate has, every delay sound when
# read at that rate, and a 30 frames/s reading of the 25 frames/s log hinted.
"$gen" --size 10M --fps 25 -o pal.log # 1,000 timecodes for the hint
"$gen" --size 2M --fps 29.97 -o drop.log
awk 'substr($0, 72, 2) + 0 > 24 { print "line " NR ": " $0; exit 1 }' pal.log || fail "pal: frame above 24"
awk 'substr($0, 70, 2) == "00" && substr($0, 72, 2) + 0 < 2 && substr($0, 69, 1) != "0" {
       print "line " NR ": " $0; exit 1 }' drop.log || fail "drop: a dropped frame number"
for run in "pal.log 25" "drop.log 29.97"; do
  set -- $run
  "$qv" "$1" /sum /fps "$2" /csv "$1.csv" >/dev/null 2>&1
  ! cut -d, -f12- "$1.csv" | grep -q NO || fail "$1: an unsound delay at $2"
  expect_timed "$1"
done
"$qv" pal.log /sum 2>&1 >/dev/null | grep -q '25 frames/s station (/fps 25)' || fail "pal: no hint"
"$qv" drop.log /sum 2>&1 >/dev/null | grep -q 'frames/s station' && fail "drop: a hint"

[ $failures = 0 ] && echo "loggen: all checks passed"
exit $((failures > 0))
