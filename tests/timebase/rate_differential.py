#!/usr/bin/env python3
"""The delays quorvex reports against the true delays the sample generator
wrote, at each frame rate, in logs whose takes cross second, minute,
tenth-minute and midnight boundaries: the run summary, every /csv row, every
/hours row and the /limit breaches.

    rate_differential.py QUORVEX MAKE_SAMPLE_PY
"""
import csv
import os
import re
import subprocess
import sys
import tempfile
from fractions import Fraction

QUORVEX, MAKE_SAMPLE = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
SECONDS_PER_FIELD = {"30": Fraction(1, 60), "29.97": Fraction(1001, 60000), "25": Fraction(1, 50)}
NAMES = ["rev2router", "rtrcmd2status", "rtrcmd2mx"]
LIMIT_MS = 150
failures = []


def check(ok, what):
    if not ok:
        failures.append(what)


def nearest_rank(values, percent):
    return values[max(0, -(-percent * len(values) // 100) - 1)]


def crossings(truth):
    """Which boundaries the XFER-to-router spans cross."""
    seen = set()
    for row in truth:
        a, b = row["xfer_tc"], row["rtr1_tc"]
        if a[4:6] != b[4:6]:
            seen.add("second")
        if a[2:4] != b[2:4]:
            seen.add("minute")
            seen.add("tenth minute" if int(b[2:4]) % 10 == 0 else "other minute")
        if a[:2] == "23" and b[:2] == "00":
            seen.add("midnight")
    return seen


def run_rate(rate, work):
    log, truth_path = os.path.join(work, "day.log"), os.path.join(work, "truth.csv")
    with open(log, "wb") as f:
        subprocess.run([sys.executable, MAKE_SAMPLE, "--fps", rate, "--hours", "23.6", "24.4",
                        "--gap", "1", "6", "--edges", "--truth", truth_path],
                       stdout=f, check=True)
    with open(truth_path) as f:
        truth = {int(r["xfer_line"]): r for r in csv.DictReader(f)}
    seen = crossings(truth.values())
    for boundary in ["second", "tenth minute", "other minute", "midnight"]:
        check(boundary in seen, "%s: no take across a %s boundary" % (rate, boundary))
    result = subprocess.run([QUORVEX, "day.log", "/sum", "/fps", rate, "/csv", "t.csv",
                             "/hours", "h.csv", "/limit", "rtrcmd2mx:%dms" % LIMIT_MS],
                            cwd=work, capture_output=True, text=True, timeout=120)
    with open(os.path.join(work, "t.csv"), newline="") as f:
        rows = list(csv.DictReader(f))
    # A fade broken off by the generator takes up to two transitions after it
    # with it; every row there is must be a transition with its true delays.
    with open(log, "rb") as f:
        aborted = f.read().count(b" aborted")
    check(len(truth) - 2 * aborted <= len(rows) <= len(truth),
          "%s: %d CSV rows for %d transitions" % (rate, len(rows), len(truth)))
    for row in rows:
        want = truth.get(int(row["xfer_line"]))
        if want is None:
            check(False, "%s: CSV row at line %s is no transition" % (rate, row["xfer_line"]))
            continue
        for name in NAMES:
            check(row[name] == want[name], "%s line %s: %s %s, truly %s" %
                  (rate, row["xfer_line"], name, row[name], want[name]))
            check(row[name + "_sound"] == "YES", "%s: %s unsound" % (rate, name))
    # The run summary: min, max and average of the true delays.
    timed = [truth[int(r["xfer_line"])] for r in rows if int(r["xfer_line"]) in truth]
    for name, label in zip(NAMES, ["Rev2Router", "RtrCmd2Status", "RtrCmd2MX"]):
        values = [int(t[name]) for t in timed]
        low, high = min(min(values), 65535), max(max(values), 0)
        avg = int(sum(values) / len(values))
        want = "\t%-13s delta[min/max/avg] [%3d %3d %2d]" % (label, low, high, avg)
        check(want in result.stdout, "%s: summary lacks %r" % (rate, want))
    # /hours: each hour's groups and figures from the true delays.
    by_hour = {}
    for row in rows:
        by_hour.setdefault(row["start_tc"][:2], []).append(truth[int(row["xfer_line"])])
    with open(os.path.join(work, "h.csv"), newline="") as f:
        hours = list(csv.DictReader(f))
    check([h["hour"] for h in hours] == sorted(by_hour, key=lambda h: (int(h) + 1) % 24),
          "%s: hours %s" % (rate, [h["hour"] for h in hours]))
    for h in hours:
        groups = by_hour.get(h["hour"], [])
        check(int(h["groups"]) == len(groups), "%s hour %s: groups" % (rate, h["hour"]))
        for name in NAMES:
            values = sorted(int(g[name]) for g in groups)
            want = [str(values[0]), str(nearest_rank(values, 50)), str(nearest_rank(values, 95)),
                    str(values[-1]), "%.1f" % (sum(values) / len(values))]
            got = [h[name + s] for s in ["_min", "_p50", "_p95", "_max", "_avg"]]
            check(got == want, "%s hour %s %s: %s, truly %s" % (rate, h["hour"], name, got, want))
            check(h[name + "_unsound"] == "0", "%s hour %s: unsound" % (rate, h["hour"]))
    # /limit: a breach exactly where the true delay is over the time.
    limit = Fraction(LIMIT_MS, 1000)
    over = sum(1 for t in timed if int(t["rtrcmd2mx"]) * SECONDS_PER_FIELD[rate] > limit)
    told = len(re.findall(r"^quorvex: limit rtrcmd2mx \S+ > ", result.stderr, re.M))
    check(over > 0, "%s: no delay over %d ms to test" % (rate, LIMIT_MS))
    check(told == over, "%s: %d breaches told, %d true" % (rate, told, over))
    totals = re.findall(r"^quorvex: limit rtrcmd2mx in the run: (\d+) breach", result.stderr, re.M)
    check(totals == [str(over)], "%s: the run's total %s, truly %d" % (rate, totals, over))
    check(result.returncode == (3 if over else 0), "%s: exit %d" % (rate, result.returncode))
    check("25 frames/s station" not in result.stderr or rate == "25",
          "%s: the 25 frames/s hint" % rate)


for rate in ["30", "29.97", "25"]:
    with tempfile.TemporaryDirectory() as work:
        run_rate(rate, work)
for failure in failures[:40]:
    print(failure)
sys.exit(1 if failures else 0)
