#!/usr/bin/env python3
"""Latency and memory of /follow, measured on the real binary (not a test).

    python3 bench/follow_measure.py --binary build/quorvex [--latency-batches N]
                                    [--slow-seconds S] [--skip-memory]

Latency: a log is appended in batches of 1 to 8 whole lines, each batch in
one write and followed by a random pause longer than any expected latency; every
piece of the report that comes through quorvex's standard output (a pipe,
so fully buffered) counts from the write of the batch before it to its
arrival; with /csv, so does every growth of the CSV (a row per timed group). Run twice: once written in the followed folder (change
notification wakes quorvex), once through a hard link in another folder,
which the folder watch does not see, so that only the 250 ms look at the
file finds the new lines (a network share, a writer that holds its file
open).

Memory: the peak resident set of a followed run over a generated hour of
log written at full speed, over a generated day (24 hours, so that memory
must not grow with lines), over the hour written slowly, and over the day
with /plot and /csv (the chart keeps 20 bytes per timed group).
"""
import argparse
import os
import random
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import threading
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def make_log(hours, crlf=True):
    text = subprocess.run([sys.executable, os.path.join(ROOT, "sample", "make_sample.py"),
                           "--hours", "0", str(hours), "--gap", "1", "12"],
                          check=True, capture_output=True).stdout
    return text.replace(b"\n", b"\r\n") if crlf and b"\r\n" not in text else text


def start(binary, folder, args):
    return subprocess.Popen([binary, "day.log"] + args + ["/follow"], cwd=folder,
                            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)


def stop(proc):
    """Ctrl-C; returns the exit code."""
    proc.send_signal(signal.SIGINT)
    return proc.wait()


class Arrivals(threading.Thread):
    """Reads the run's standard output, noting when each piece arrives."""

    def __init__(self, pipe):
        super().__init__(daemon=True)
        self.pipe, self.pieces = pipe, []

    def run(self):
        while True:
            data = os.read(self.pipe.fileno(), 65536)
            if not data:
                return
            self.pieces.append((time.monotonic(), len(data)))


class Growth(threading.Thread):
    """Notes when a file the run writes grows (looked at every 0.5 ms)."""

    def __init__(self, path):
        super().__init__(daemon=True)
        self.path, self.pieces, self.done = path, [], False

    def run(self):
        size = 0
        while not self.done:
            try:
                now = os.stat(self.path).st_size
            except FileNotFoundError:
                now = 0
            if now > size:
                self.pieces.append((time.monotonic(), now - size))
                size = now
            time.sleep(0.0005)


def delays_after(pieces, writes, pause):
    """Each piece's delay after the write before it, in ms."""
    delays = []
    for arrived, _ in pieces:
        before = [w for w in writes if w <= arrived]
        if before and arrived < before[-1] + pause:
            delays.append((arrived - before[-1]) * 1000)
    return delays


def latency(binary, lines, batches, pause, through_link, args):
    work = tempfile.mkdtemp(prefix="qv-follow-latency-")
    try:
        watched, other = os.path.join(work, "watched"), os.path.join(work, "other")
        os.mkdir(watched)
        os.mkdir(other)
        path = os.path.join(watched, "day.log")
        open(path, "wb").close()
        if through_link:
            os.link(path, os.path.join(other, "day.log"))
            path = os.path.join(other, "day.log")
        proc = start(binary, watched, args)
        reader = Arrivals(proc.stdout)
        reader.start()
        rows = Growth(os.path.join(watched, "rows.csv"))
        rows.start()
        time.sleep(1.0)  # the settings echo comes before any line
        fd = os.open(path, os.O_WRONLY | os.O_APPEND)
        writes, at, rng = [], 0, random.Random(5)
        while len(writes) < batches and at < len(lines):
            count = rng.randint(1, 8)
            batch = b"".join(lines[at:at + count])
            at += count
            writes.append(time.monotonic())
            os.write(fd, batch)
            # Random, so that the writes do not keep in step with the 250 ms look.
            time.sleep(pause + rng.uniform(0, 0.25))
        os.close(fd)
        code = stop(proc)
        reader.join()
        rows.done = True
        rows.join()
        return (code, delays_after(reader.pieces, writes, pause),
                delays_after(rows.pieces, writes, pause), len(writes))
    finally:
        shutil.rmtree(work)


def summary(delays):
    if not delays:
        return "no report pieces"
    delays = sorted(delays)
    p95 = delays[min(len(delays) - 1, int(len(delays) * 0.95))]
    return ("%d report pieces: median %.1f ms, 95th percentile %.1f ms, max %.1f ms"
            % (len(delays), statistics.median(delays), p95, delays[-1]))


def child_of(proc):
    """The one child of `proc`, once it has started."""
    while proc.poll() is None:
        try:
            with open("/proc/%d/task/%d/children" % (proc.pid, proc.pid)) as f:
                children = f.read().split()
        except FileNotFoundError:
            children = []
        if children:
            return int(children[0])
        time.sleep(0.01)
    raise RuntimeError("the run ended at once: exit %d" % proc.returncode)


def peak_rss(binary, log, args, seconds=0.0):
    """Follows `log` written at full speed (or spread over `seconds`); returns
    the exit code and the peak resident set in KiB. GNU time measures it: a
    child forked from this Python would count Python's pages as its own."""
    work = tempfile.mkdtemp(prefix="qv-follow-memory-")
    try:
        path = os.path.join(work, "day.log")
        open(path, "wb").close()
        proc = subprocess.Popen(["/usr/bin/time", "-f", "%M", "-o", "rss.txt", binary, "day.log"]
                                + args + ["/follow"], cwd=work,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        quorvex = child_of(proc)
        piece = 65536 if seconds == 0 else max(1, len(log) * 50 // int(seconds * 1000))
        with open(path, "ab", buffering=0) as out:
            for i in range(0, len(log), piece):
                out.write(log[i:i + piece])
                if seconds:
                    time.sleep(0.05)
        time.sleep(1.0)  # caught up
        os.kill(quorvex, signal.SIGINT)
        code = proc.wait()
        with open(os.path.join(work, "rss.txt")) as f:
            return code, int(f.read().split()[-1])
    finally:
        shutil.rmtree(work)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--binary", default=os.path.join(ROOT, "build", "quorvex"))
    parser.add_argument("--latency-batches", type=int, default=150)
    parser.add_argument("--slow-seconds", type=float, default=60)
    parser.add_argument("--skip-memory", action="store_true")
    opts = parser.parse_args()
    binary = os.path.abspath(opts.binary)
    hour = make_log(1)
    lines = hour.splitlines(keepends=True)

    for label, args in (("ROUTER TAKES", ["/csv", "rows.csv"]),
                        ("GREP dst 0130", ["/grep", "dst 0130"])):
        for through_link, pause in ((False, 0.1), (True, 0.5)):
            code, console, rows, writes = latency(binary, lines, opts.latency_batches, pause,
                                                  through_link, args)
            how = "polling only (hard link)" if through_link else "notification"
            print("latency %-14s %-25s %d batches, exit %d: console: %s"
                  % (label, how, writes, code, summary(console)))
            if rows:
                print("latency %-14s %-25s CSV rows: %s" % (label, how, summary(rows)))
    if opts.skip_memory:
        return
    day = make_log(24)
    print("memory (peak RSS, KiB); log sizes: hour %d bytes, day %d bytes" % (len(hour), len(day)))
    for label, log, args, seconds in (
            ("hour, full speed", hour, [], 0),
            ("day, full speed", day, [], 0),
            ("hour, over %g s" % opts.slow_seconds, hour, [], opts.slow_seconds),
            ("hour, full speed, /plot /csv", hour, ["/plot", "c.svg", "/csv", "c.csv"], 0),
            ("day, full speed, /plot /csv", day, ["/plot", "c.svg", "/csv", "c.csv"], 0)):
        code, rss = peak_rss(binary, log, args, seconds)
        print("memory %-34s exit %d: %d KiB" % (label, code, rss))


if __name__ == "__main__":
    main()
