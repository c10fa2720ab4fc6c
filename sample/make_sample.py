#!/usr/bin/env python3
"""Writes sample/sample.log: a deterministic automation log of four hours.

    python3 sample/make_sample.py > sample/sample.log
    python3 sample/make_sample.py --hours 0 24 --gap 1 12 > day.log   # ~10k transitions
    python3 sample/make_sample.py --hours 12 36 --gap 1 12 --slow 25 --drift 0.5 --misread 2 > night.log

Hours past 24 continue on the next day: the timecodes start again at 00 and
the date moves on. --misread writes, at that per-mille rate, a timecode that
cannot be read as a time of day (a hex digit, hours above 23, a shifted
column, ...), as a failing timecode reader does.

Layout of every line: date, time, process (8 wide), message (34 wide), so
that the BCD timecode stands at columns 65 to 72, then free text.

The transitions of WQVX carry delays with a story, so that the delay chart
(/plot) shows something: RtrCmd2Status drifts up over the morning, the router
is slow for 20 minutes from 03:00 (RtrCmd2MX and RtrCmd2Status jump), and now
and then the reverse-bus line comes before the router line (a negative
Rev2Router). Other processes, refreshes and broken fades are mixed in.
"""
import argparse
import random
import sys

parser = argparse.ArgumentParser(description="Writes a sample log to standard output.")
parser.add_argument("--hours", type=float, nargs=2, default=[2, 6], metavar=("FROM", "TO"),
                    help="time of day the log spans (default 2 6)")
parser.add_argument("--gap", type=int, nargs=2, default=[20, 100], metavar=("MIN", "MAX"),
                    help="seconds between takes (default 20 100)")
parser.add_argument("--slow", type=float, default=3, metavar="HOUR",
                    help="hour at which the router is slow for 20 minutes (default 3)")
parser.add_argument("--drift", type=float, default=2.5, metavar="FRAMES",
                    help="RtrCmd2Status drift per hour of the log (default 2.5)")
parser.add_argument("--seed", type=int, default=8, metavar="N",
                    help="seed of the delays and gaps, so that days of a week differ (default 8)")
parser.add_argument("--misread", type=float, default=0, metavar="PERMILLE",
                    help="misread timecodes per thousand lines (default 0)")
parser.add_argument("--fps", choices=["30", "29.97", "25"], default="30",
                    help="the station's frame rate; 29.97 counts drop-frame (default 30)")
parser.add_argument("--edges", action="store_true",
                    help="start most takes a few frames before a minute turns, so that their "
                    "delays cross second, minute and (now and then) tenth-minute boundaries")
parser.add_argument("--truth", metavar="FILE",
                    help="also write, per WQVX transition, its XFER line number, the timecodes "
                    "of XFER and the router line and the true Rev2Router, RtrCmd2Status and "
                    "RtrCmd2MX in fields")
args = parser.parse_args()

# Fields are half frames at the station's rate; the clock counts real fields.
DROP = args.fps == "29.97"
NOMINAL = 25 if args.fps == "25" else 30  # frame numbers a second
FRAMES_PER_HOUR = 107892 if DROP else NOMINAL * 3600
HOUR = 2 * FRAMES_PER_HOUR  # fields
SECOND = 2 * NOMINAL  # fields, near enough for gaps
SECONDS_PER_FIELD = 1001 / 60000 if DROP else 1 / SECOND

rng = random.Random(args.seed)
misreads = random.Random(9)  # apart, so that the other options keep their bytes
edges = random.Random(10)
out = []
START = int(args.hours[0] * HOUR)  # fields
END = int(args.hours[1] * HOUR)
clock = START  # the time of the line being written, in fields
truth = []


def timecode(f):
    """(hours of the day, minutes, seconds, frame number) of `f` fields."""
    frames = (f // 2) % (24 * FRAMES_PER_HOUR)
    if DROP:  # number the frames, skipping 00 and 01 in 9 minutes of 10
        tens, rest = divmod(frames, 17982)
        frames += 18 * tens + (2 * ((rest - 2) // 1798) if rest > 1 else 0)
    h, rest = divmod(frames, NOMINAL * 3600)
    m, rest = divmod(rest, NOMINAL * 60)
    s, ff = divmod(rest, NOMINAL)
    return h, m, s, ff


def fields_of(h, m, s, ff):
    """The fields since midnight of a timecode (the inverse of timecode)."""
    frames = ((h * 60 + m) * 60 + s) * NOMINAL + ff
    if DROP:
        minutes = h * 60 + m
        frames -= 2 * (minutes - minutes // 10)
    return 2 * frames


def tc(f):
    return "%02d%02d%02d%02d" % timecode(f)


def next_minute(f):
    """The fields at which the minute after that of `f` begins (same day count)."""
    day = f - f % (48 * FRAMES_PER_HOUR)
    h, m, _, _ = timecode(f)
    minutes = h * 60 + m + 1
    if minutes == 24 * 60:
        return day + 48 * FRAMES_PER_HOUR
    first = 2 if DROP and minutes % 10 else 0
    return day + fields_of(minutes // 60, minutes % 60, 0, first)


def misread(code):
    """The eight characters a failing reader puts in the timecode column."""
    kind = misreads.randint(0, 4)
    at = misreads.randint(0, 7)
    if kind == 0:  # a digit read as a hex letter
        return code[:at] + misreads.choice("abcdef") + code[at + 1:]
    if kind == 1:  # hours above 23
        return "%02d" % misreads.randint(24, 99) + code[2:]
    if kind == 2:  # minutes or seconds above 59
        field = misreads.choice([2, 4])
        return code[:field] + "%02d" % misreads.randint(60, 99) + code[field + 2:]
    if kind == 3:  # frames above 29
        return code[:6] + "%02d" % misreads.randint(NOMINAL, 99)
    return " " + code[:7]  # the column shifted by one


def line(proc, msg, tail="", at=None):
    """Writes one line; its timecode is `at` (fields) or the running clock."""
    global clock
    clock += rng.randint(1, 4) * 2
    if NOMINAL == 30 and not DROP:  # the bytes this script always wrote
        day, rest = divmod(clock, 24 * 216000)
        h, rest = divmod(rest, 216000)
        m, rest = divmod(rest, 3600)
        s, rest = divmod(rest, 60)
        ms = rest * 1000 // 60
    else:
        day, ms = divmod(int(clock * SECONDS_PER_FIELD * 1000), 86400000)
        h, ms = divmod(ms, 3600000)
        m, ms = divmod(ms, 60000)
        s, ms = divmod(ms, 1000)
    stamp = "12/%02d/26 %02d:%02d:%02d.%03d" % (8 + day, h, m, s, ms)
    code = tc(clock if at is None else at)
    if args.misread and misreads.random() * 1000 < args.misread:
        code = misread(code)
    out.append("%s %-8s %-34s%s %s" % (stamp, proc, msg, code, tail))


def noise():
    for _ in range(rng.randint(1, 4)):
        kind = rng.randint(0, 5)
        if kind == 0:
            line("KQVX", "SNIFFER STATUS ok", "poll %d" % rng.randint(1, 99))
        elif kind == 1:
            line("SWITCH", "TAKE bus A", "pst src %04d" % rng.randint(1, 64))
        elif kind == 2:
            line("RTRCTL", "RTR REFRESH", "dst 0130 src %04d lev 00" % rng.randint(1, 64))
        elif kind == 3:
            line("TCGEN", "CMD-ERROR on TC", "delta %d" % rng.randint(-6, 40))
        else:
            line("KQVX", "STATUS heartbeat", "load %d%%" % rng.randint(1, 90))


def delays():
    """Frames from XFER to the router line and to DBGRTRTIME, and from the
    router line to the reverse line, for a transition starting now."""
    hours = (clock - START) / HOUR
    slow_from = int(args.slow * HOUR)
    slow = slow_from <= clock < slow_from + 20 * 60 * SECOND
    to_router = rng.randint(2, 5) + (rng.randint(6, 12) if slow else 0)
    to_status = int(8 + args.drift * hours) + rng.randint(0, 3) + (rng.randint(4, 8) if slow else 0)
    to_reverse = rng.randint(-3, -1) if rng.random() < 0.06 else rng.randint(1, 6)
    return to_router * 2, to_status * 2, to_reverse * 2


def router(at):
    line("RTRCTL", "RTR TAKE", "dst 0130 src %04d lev 00" % rng.randint(1, 64), at)


def near_edge():
    """With --edges, most XFER lines land 2 to 8 fields before a minute turns."""
    global clock
    if args.edges and edges.random() < 0.8:
        clock = max(clock, next_minute(clock) - 10)
        return True
    return False


def across(xfer, to_router):
    """The delay to the router line, at least to the next minute's first frame."""
    return max(to_router, next_minute(xfer) - xfer + 2 * edges.randint(0, 3))


def note_truth(proc, xfer, to_router, to_status, to_reverse):
    if proc == "WQVX":
        truth.append("%d,%s,%s,%d,%d,%d" % (len(out), tc(xfer), tc(xfer + to_router),
                                             to_reverse, to_status, to_router))


def fade(proc):
    line(proc, "DOFADE:START", "fade %d" % rng.randint(1, 30))
    noise()
    to_router, to_status, to_reverse = delays()
    edge = near_edge()
    line(proc, "XFER XITION", "to pgm")
    xfer = clock
    if edge:
        to_router = across(xfer, to_router)
    note_truth(proc, xfer, to_router, to_status, to_reverse)
    router(xfer + to_router)
    line(proc, "goto REV-BUS", at=xfer + to_router + 2)
    line(proc, "goto REV-BLK", at=xfer + to_router + to_reverse)
    line(proc, "DBGRTRTIME", "rtr %d" % rng.randint(1, 9), xfer + to_status)
    noise()
    line(proc, "DOFADE:DONE", at=max(clock, xfer + to_status + 4))


def mix(proc):
    to_router, to_status, to_reverse = delays()
    edge = near_edge()
    line(proc, "XFER XITION", "mix")
    xfer = clock
    if edge:
        to_router = across(xfer, to_router)
    note_truth(proc, xfer, to_router, to_status, to_reverse)
    line(proc, "DOMIX:swrtr goto rev-bus", at=xfer + to_router + to_reverse)
    router(xfer + to_router)
    noise()
    line(proc, "DBGRTRTIME", "rtr %d" % rng.randint(1, 9), xfer + to_status)
    line(proc, "DOMIX:swrtr trans done", at=max(clock, xfer + to_status + 4))


while clock < END:
    noise()
    pick = rng.randint(0, 19)
    if pick < 9:
        fade("WQVX")
    elif pick < 16:
        mix("WQVX")
    elif pick < 18:
        fade("KQVX")
    else:
        # a fade broken off by the next start
        line("WQVX", "DOFADE:START", "aborted")
        line("WQVX", "XFER XITION", "to pgm")
    clock += rng.randint(args.gap[0], args.gap[1]) * SECOND  # the next take

sys.stdout.buffer.write(("\r\n".join(out) + "\r\n").encode())
if args.truth:
    with open(args.truth, "w") as f:
        f.write("xfer_line,xfer_tc,rtr1_tc,rev2router,rtrcmd2status,rtrcmd2mx\n" + "".join(t + "\n" for t in truth))
