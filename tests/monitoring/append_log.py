#!/usr/bin/env python3
"""Appends COUNT transitions (fades and mixes by turns) to LOG, one group
every PAUSE seconds, as the automation would write them while it runs.

Usage: append_log.py LOG COUNT PAUSE
"""
import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "golden"))
import make_rt_logs as rt  # noqa: E402


def main():
    path, count, pause = sys.argv[1], int(sys.argv[2]), float(sys.argv[3])
    base = 8 * rt.HOUR
    with open(path, "a", newline="") as log:
        for i in range(count):
            t = base + i * 600
            group = rt.fade(t, 4, 40, 6) if i % 2 == 0 else rt.mix(t, 12, 24, 8)
            log.write("".join(group) + rt.noise(t + 300))
            log.flush()
            time.sleep(pause)


if __name__ == "__main__":
    main()
