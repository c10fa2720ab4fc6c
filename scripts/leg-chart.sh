#!/usr/bin/env bash
# Checks of the transitions CSV and the delay chart on the real binary:
#  1. a run over a day-long log, the sample log and an empty log gives a
#     well-formed SVG whose panels and counts match the run summaries and a
#     CSV with one row per transition;
#  2. every golden case gives the same output with /csv and /plot added.
# Expects a built tree (scripts/test.sh builds it first).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh libxml2-utils python3
root=$(pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo "== chart: well-formed and matching the run"
python3 sample/make_sample.py --hours 0 24 --gap 1 12 >"$work/day.log"
cp sample/sample.log "$work/sample.log"
: >"$work/empty.log"
(cd "$work" && "$root/build/quorvex" "*.log" /multi /sum /csv rows.csv /plot chart.svg >stdout.txt)
xmllint --noout "$work/chart.svg"
python3 - "$work" <<'PY'
import csv, re, sys, xml.etree.ElementTree as ET
work = sys.argv[1]
out = open(work + "/stdout.txt").read()
runs = []
for chunk in out.split("**** Processing File ")[1:]:
    name = chunk[:chunk.index(" ****\n")]
    lines, transitions = re.search(r"\n    Analyzed +(\d+) lines +(\d+) transitions\n", chunk).groups()
    errors = re.search(r"\n\tTRANS Block errors +(\d+)\n", chunk)
    runs.append((name, lines, transitions, errors.group(1) if errors else "0"))
assert len(runs) == 3, runs
svg = ET.parse(work + "/chart.svg").getroot()
ns = "{http://www.w3.org/2000/svg}"
panels = [g for g in svg if g.tag == ns + "g"]
assert len(panels) == 3, len(panels)
rows = list(csv.reader(open(work + "/rows.csv", newline="")))[1:]
for (name, lines, transitions, errors), panel in zip(runs, panels):
    title = panel.find(ns + "text").text
    want = "%s: %s transitions, %s block errors, %s lines" % (name, transitions, errors, lines)
    assert title == want, (title, want)
    assert sum(1 for r in rows if r[0] == name) == int(transitions), name
    texts = " ".join(t.text or "" for t in panel.iter(ns + "text"))
    if transitions == "0":
        assert "no completed transitions" in texts, name
    else:
        assert ("%s groups" % transitions) in texts, name
assert not svg.findall(".//" + ns + "script")
size = len(open(work + "/chart.svg", "rb").read())
print("chart ok: %d panels, %d rows, %d bytes" % (len(panels), len(rows), size))
assert size < 400 * 1024, size
PY

echo "== golden cases with /csv and /plot added"
failed=0
for case in tests/golden/cases/*/; do
  build/tests/golden_runner --binary build/quorvex --case "$case" \
    --launcher "bash $root/scripts/with-side-outputs.sh" >/dev/null 2>"$work/err" ||
    { echo "FAILED with side outputs: $case"; cat "$work/err"; failed=1; }
done
[ "$failed" -eq 0 ] && echo "golden cases unchanged"
exit "$failed"
