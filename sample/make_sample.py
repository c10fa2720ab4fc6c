#!/usr/bin/env python3
"""Writes sample/sample.log: a small, deterministic automation log.

Layout of every line: date, time, process (8 wide), message (34 wide), so
that the BCD timecode stands at columns 65 to 72, then free text.
"""
import random
import sys

rng = random.Random(8)
out = []
fields = 3 * 3600 * 60  # 03:00:00:00, in fields


def tc(f):
    h, rest = divmod(f, 216000)
    m, rest = divmod(rest, 3600)
    s, rest = divmod(rest, 60)
    return "%02d%02d%02d%02d" % (h, m, s, rest // 2)


def line(proc, msg, tail=""):
    global fields
    fields += rng.randint(1, 4) * 2
    h, rest = divmod(fields, 216000)
    m, rest = divmod(rest, 3600)
    s, rest = divmod(rest, 60)
    clock = "%02d:%02d:%02d.%03d" % (h, m, s, rest * 1000 // 60)
    out.append("12/08/26 %s %-8s %-34s%s %s" % (clock, proc, msg, tc(fields), tail))


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


def router():
    line("RTRCTL", "RTR TAKE", "dst 0130 src %04d lev 00" % rng.randint(1, 64))


def fade(proc):
    line(proc, "DOFADE:START", "fade %d" % rng.randint(1, 30))
    noise()
    line(proc, "XFER XITION", "to pgm")
    router()
    line(proc, "goto REV-BUS")
    line(proc, "goto REV-BLK")
    line(proc, "DBGRTRTIME", "rtr %d" % rng.randint(1, 9))
    noise()
    line(proc, "DOFADE:DONE")


def mix(proc):
    line(proc, "XFER XITION", "mix")
    line(proc, "DOMIX:swrtr goto rev-bus")
    router()
    noise()
    line(proc, "DBGRTRTIME", "rtr %d" % rng.randint(1, 9))
    line(proc, "DOMIX:swrtr trans done")


for i in range(40):
    noise()
    pick = rng.randint(0, 9)
    if pick < 4:
        fade("WQVX")
    elif pick < 7:
        mix("WQVX")
    elif pick < 8:
        fade("KQVX")
    else:
        # a fade broken off by the next start
        line("WQVX", "DOFADE:START", "aborted")
        line("WQVX", "XFER XITION", "to pgm")

sys.stdout.buffer.write(("\r\n".join(out) + "\r\n").encode())
