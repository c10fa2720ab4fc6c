#!/usr/bin/env bash
# Checks of the transitions CSV and the delay chart on the real binary:
#  1. a run over a day-long log, an overnight day log with misread timecodes,
#     the sample log and an empty log gives a well-formed SVG whose panels and
#     counts match the run summaries, whose texts keep apart and whose panels
#     share their scales, and a CSV with one row per transition;
#  2. headless Chromium draws that chart: the picture holds the three delay
#     colours, so it is neither blank nor an error page;
#  3. every golden case gives the same output with /csv and /plot added.
# Expects a built tree (scripts/test.sh builds it first).
#
#   scripts/leg-chart.sh --pictures   renders the README's two charts into docs/
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh libxml2-utils python3 chromium fonts-dejavu-core
root=$(pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# render SVG PNG: the whole chart as a browser draws it, 1200 pixels wide.
render() {
  local height
  height=$(sed -n 's/^<svg [^>]* height="\([0-9]*\)".*/\1/p' "$1")
  mkdir -p "$work/profile"
  chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync \
    --user-data-dir="$work/profile" --hide-scrollbars --window-size="1200,$height" \
    --screenshot="$2" "file://$1" >"$work/chromium.log" 2>&1 ||
    { cat "$work/chromium.log"; return 1; }
}

overnight() { # a day log from noon to noon, slow at 01:00, misread timecodes
  python3 sample/make_sample.py --hours 12 36 --gap 1 12 --slow 25 --drift 0.5 --misread 2
}

if [ "${1:-}" = "--pictures" ]; then
  cp sample/sample.log "$work/sample.log"
  overnight >"$work/overnight.log"
  for log in sample overnight; do
    (cd "$work" && "$root/build/quorvex" "$log.log" /sum /plot "$log.svg" >/dev/null)
    render "$work/$log.svg" "$work/$log.png"
  done
  cp "$work/sample.png" docs/chart.png
  cp "$work/overnight.png" docs/chart-overnight.png
  echo "wrote docs/chart.png and docs/chart-overnight.png"
  exit 0
fi

echo "== chart: well-formed and matching the run"
python3 sample/make_sample.py --hours 0 24 --gap 1 12 >"$work/day.log"
overnight >"$work/overnight.log"
cp sample/sample.log "$work/sample.log"
: >"$work/empty.log"
(cd "$work" && "$root/build/quorvex" "*.log" /multi /sum /csv rows.csv /plot chart.svg >stdout.txt)
xmllint --noout "$work/chart.svg"
python3 scripts/check-chart.py "$work"

echo "== chart: drawn by a browser"
start=$(date +%s)
render "$work/chart.svg" "$work/chart.png"
python3 scripts/check-chart.py --picture "$work/chart.png"
echo "rendered in $(($(date +%s) - start)) s"

echo "== golden cases with /csv and /plot added"
failed=0
for case in tests/golden/cases/*/; do
  build/tests/golden_runner --binary build/quorvex --case "$case" --ignore-stderr \
    --launcher "bash $root/scripts/with-side-outputs.sh" >/dev/null 2>"$work/err" ||
    { echo "FAILED with side outputs: $case"; cat "$work/err"; failed=1; }
done
[ "$failed" -eq 0 ] && echo "golden cases unchanged"
exit "$failed"
