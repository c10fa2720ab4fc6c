#!/usr/bin/env python3
"""Writes the args and input logs of the fps_*, midnight_* and hours_misread_*
golden cases with sample/make_sample.py, whose --truth file beside each log
gives the true delays to check the recorded expectations by hand.

Run from the repository root: python3 tests/golden/make_timebase_logs.py
Then record each case with golden_runner --update and check it by hand.
"""
import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
CASES = os.path.join(HERE, "cases")
MAKE_SAMPLE = os.path.join(HERE, "..", "..", "sample", "make_sample.py")

# name: (generator options, quorvex arguments after the log)
CASES_TO_WRITE = {
    "fps_pal_day": (["--fps", "25", "--hours", "6", "6.1", "--gap", "5", "30"],
                    ["/fps", "25", "/csv", "t.csv", "/hours", "h.csv"]),
    "fps_drop_frame_minute_edges": (
        ["--fps", "29.97", "--hours", "0.12", "0.2", "--gap", "1", "6", "--edges"],
        ["/fps", "29.97", "/csv", "t.csv", "/limit", "rtrcmd2mx:150ms"]),
    "midnight_at_30": (["--hours", "23.98", "24.02", "--gap", "1", "6", "--edges"],
                       ["/csv", "t.csv", "/hours", "h.csv"]),
    "midnight_at_29_97": (
        ["--fps", "29.97", "--hours", "23.98", "24.02", "--gap", "1", "6", "--edges"],
        ["/fps", "29.97", "/csv", "t.csv", "/hours", "h.csv"]),
    "midnight_at_25": (["--fps", "25", "--hours", "23.98", "24.02", "--gap", "1", "6", "--edges"],
                       ["/fps", "25", "/csv", "t.csv", "/hours", "h.csv", "/limit", "rtrcmd2mx:5fr"]),
    "hours_misread_rows": (["--hours", "2", "2.6", "--gap", "5", "20", "--misread", "60"],
                           ["/sum", "/csv", "t.csv", "/hours", "h.csv"]),
}

for name, (options, arguments) in CASES_TO_WRITE.items():
    case = os.path.join(CASES, name)
    os.makedirs(os.path.join(case, "input"), exist_ok=True)
    with open(os.path.join(case, "input", "day.log"), "wb") as log:
        subprocess.run([sys.executable, MAKE_SAMPLE, *options, "--truth",
                        os.path.join(case, "truth.csv")], stdout=log, check=True)
    with open(os.path.join(case, "args"), "w") as f:
        f.write("\n".join(["day.log", *arguments]) + "\n")
