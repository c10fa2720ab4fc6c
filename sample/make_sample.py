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
args = parser.parse_args()

rng = random.Random(args.seed)
misreads = random.Random(9)  # apart, so that the other options keep their bytes
out = []
START = int(args.hours[0] * 216000)  # fields
END = int(args.hours[1] * 216000)
clock = START  # the time of the line being written, in fields


def tc(f):
    h, rest = divmod(f, 216000)
    m, rest = divmod(rest, 3600)
    s, rest = divmod(rest, 60)
    return "%02d%02d%02d%02d" % (h % 24, m, s, rest // 2)


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
        return code[:6] + "%02d" % misreads.randint(30, 99)
    return " " + code[:7]  # the column shifted by one


def line(proc, msg, tail="", at=None):
    """Writes one line; its timecode is `at` (fields) or the running clock."""
    global clock
    clock += rng.randint(1, 4) * 2
    day, rest = divmod(clock, 24 * 216000)
    h, rest = divmod(rest, 216000)
    m, rest = divmod(rest, 3600)
    s, rest = divmod(rest, 60)
    stamp = "12/%02d/26 %02d:%02d:%02d.%03d" % (8 + day, h, m, s, rest * 1000 // 60)
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
    hours = (clock - START) / 216000.0
    slow_from = int(args.slow * 216000)
    slow = slow_from <= clock < slow_from + 20 * 3600
    to_router = rng.randint(2, 5) + (rng.randint(6, 12) if slow else 0)
    to_status = int(8 + args.drift * hours) + rng.randint(0, 3) + (rng.randint(4, 8) if slow else 0)
    to_reverse = rng.randint(-3, -1) if rng.random() < 0.06 else rng.randint(1, 6)
    return to_router * 2, to_status * 2, to_reverse * 2


def router(at):
    line("RTRCTL", "RTR TAKE", "dst 0130 src %04d lev 00" % rng.randint(1, 64), at)


def fade(proc):
    line(proc, "DOFADE:START", "fade %d" % rng.randint(1, 30))
    noise()
    to_router, to_status, to_reverse = delays()
    line(proc, "XFER XITION", "to pgm")
    xfer = clock
    router(xfer + to_router)
    line(proc, "goto REV-BUS", at=xfer + to_router + 2)
    line(proc, "goto REV-BLK", at=xfer + to_router + to_reverse)
    line(proc, "DBGRTRTIME", "rtr %d" % rng.randint(1, 9), xfer + to_status)
    noise()
    line(proc, "DOFADE:DONE", at=max(clock, xfer + to_status + 4))


def mix(proc):
    to_router, to_status, to_reverse = delays()
    line(proc, "XFER XITION", "mix")
    xfer = clock
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
    clock += rng.randint(args.gap[0], args.gap[1]) * 60  # the next take

sys.stdout.buffer.write(("\r\n".join(out) + "\r\n").encode())
