#!/usr/bin/env bash
# Checks of the delay chart on the real binary:
#  1. a day, a week with one slow hour every day (and a log whose name is no
#     UTF-8) and a month give well-formed SVGs under a megabyte whose panels,
#     overview columns and CSV rows match the run summaries, on one delay axis;
#  2. headless Chromium draws each chart's first screen: the picture holds
#     the three delay colours and text, so it is neither blank nor an error page;
#  3. every golden case gives the same output with /csv and /plot added.
# Expects a built tree (scripts/test.sh builds it first).
#
#   scripts/leg-chart.sh --pictures   renders the README's three charts into docs/
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh libxml2-utils python3 chromium fonts-dejavu-core
root=$(pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# render SVG PNG: the chart's first screen (1400 x 1000) as a browser draws it.
render() {
  mkdir -p "$work/profile"
  timeout 120 chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync \
    --user-data-dir="$work/profile" --hide-scrollbars --window-size=1400,1000 \
    --screenshot="$2" "file://$1" >"$work/chromium.log" 2>&1 ||
    { cat "$work/chromium.log"; return 1; }
}

# make NAME DAYS GAP...: DAYS day logs in $work/NAME, slow for 20 minutes at
# 14:00 every day, each day's delays and gaps its own.
make_logs() {
  local dir="$work/$1" days=$2 day
  shift 2
  mkdir -p "$dir"
  for day in $(seq -w 1 "$days"); do
    python3 sample/make_sample.py --hours 0 24 --gap "$@" --slow 14 --drift 0 \
      --seed "1$day" >"$dir/day-$day.log"
  done
}

# chart NAME: the run over $work/NAME's logs, its chart checked and drawn.
chart() {
  (cd "$work/$1" && "$root/build/quorvex" "*.log" /multi /sum /csv rows.csv \
    /plot chart.svg >stdout.txt)
  xmllint --noout "$work/$1/chart.svg"
  python3 scripts/check-chart.py "$work/$1"
  render "$work/$1/chart.svg" "$work/$1.png"
  python3 scripts/check-chart.py --picture "$work/$1.png"
}

make_logs day 1 5 25
make_logs week 7 5 25
make_logs month 30 20 100

if [ "${1:-}" = "--pictures" ]; then
  for name in day week month; do
    chart "$name"
    cp "$work/$name.png" "docs/chart-$name.png"
  done
  echo "wrote docs/chart-day.png, docs/chart-week.png and docs/chart-month.png"
  exit 0
fi

echo "== chart: a day, a week and a month, well-formed, matching the run, drawn"
printf 'no transitions here\n' >"$work/week/$(printf 'z-\xf5\x80\x80-\xff.log')"
for name in day week month; do
  start=$(date +%s)
  chart "$name"
  echo "$name: checked and rendered in $(($(date +%s) - start)) s"
done

echo "== golden cases with /csv and /plot added"
failed=0
for case in tests/golden/cases/*/; do
  build/tests/golden_runner --binary build/quorvex --case "$case" --ignore-stderr \
    --launcher "bash $root/scripts/with-side-outputs.sh" >/dev/null 2>"$work/err" ||
    { echo "FAILED with side outputs: $case"; cat "$work/err"; failed=1; }
done
[ "$failed" -eq 0 ] && echo "golden cases unchanged"
exit "$failed"
