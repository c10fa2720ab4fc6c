#!/usr/bin/env python3
"""Writes the args and input logs of the rt_* golden cases (ROUTER TAKES mode).

Every log line is laid out as date, clock, process (8 wide), message (34
wide), so that its BCD timecode stands at columns 65 to 72, then free text.
Times are given in fields (1/60 s, a frame is 2 fields) and turned into
timecodes here, so the expected delays can be read off this file.

Run from the repository root: python3 tests/golden/make_rt_logs.py
Then record each case with golden_runner --update and check it by hand.
"""
import os

CASES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "cases")
W = "WQVX"
HOUR = 216000  # fields


def tc(fields):
    h, rest = divmod(fields, HOUR)
    m, rest = divmod(rest, 3600)
    s, rest = divmod(rest, 60)
    return "%02d%02d%02d%02d" % (h, m, s, rest // 2)


def line(proc, msg, column, tail=""):
    """One line; `column` is the text from column 65 on (an int is a time)."""
    if isinstance(column, int):
        column = tc(column)
    prefix = "12/08/26 01:00:00.000 %-8s %-34s" % (proc, msg)
    assert len(prefix) == 65
    return prefix + column + (" " + tail if tail else "") + "\n"


def noise(t):
    return line("SWITCH", "TAKE bus A", t, "pst src 0006")


def start(t, proc=W):
    return line(proc, "DOFADE:START", t, "fade 1")


def xfer(t):
    return line(W, "XFER XITION", t, "to pgm")


def rev_bus(t):
    return line(W, "goto REV-BUS", t)


def rev_blk(t):
    return line(W, "goto REV-BLK", t)


def dbg(t):
    return line(W, "DBGRTRTIME", t, "rtr 3")


def fade_done(t):
    return line(W, "DOFADE:DONE", t)


def router(t, src=12, level="lev 00", proc="RTRCTL", msg="RTR TAKE"):
    return line(proc, msg, t, "dst 0130 src %04d %s" % (src, level))


def mix_rev_bus(t):
    return line(W, "DOMIX:swrtr goto rev-bus", t)


def mix_done(t):
    return line(W, "DOMIX:swrtr trans done", t)


def sniff(t):
    return line("KQVX", "SNIFFER STATUS ok", t, "poll 3")


def fade(base, d_router, d_debug, d_revblk):
    """A clean fade: XFER at base+20; delays are measured from there."""
    x = base + 20
    r = x + d_router  # delay 3 = d_router
    return [start(base), xfer(x), router(r), rev_bus(x + 4), rev_blk(r + d_revblk),
            dbg(x + d_debug), fade_done(x + 60)]


def mix(base, d_router, d_debug, d_revbus, with_sniff=False):
    """A clean mix opened at base."""
    r = base + d_router
    lines = [xfer(base), router(r)]
    if with_sniff:
        lines.append(sniff(base + 2))
    return lines + [mix_rev_bus(r + d_revbus), dbg(base + d_debug), mix_done(base + 60)]


def write_case(name, args, files):
    case = os.path.join(CASES, name)
    os.makedirs(os.path.join(case, "input"), exist_ok=True)
    with open(os.path.join(case, "args"), "w", newline="") as f:
        f.write("".join(a + "\n" for a in args))
    for fname, lines in files.items():
        with open(os.path.join(case, "input", fname), "w", newline="") as f:
            f.write("".join(lines))


T = 2 * HOUR  # 02:00:00:00


def clean_fade():
    # delays: Rev2Router 16, RtrCmd2Status 40, RtrCmd2MX 4
    return [noise(T)] + fade(T + 10, 4, 40, 16) + [noise(T + 200)]


def clean_mix():
    # delays: Rev2Router 8, RtrCmd2Status 24, RtrCmd2MX 12
    return mix(T, 12, 24, 8, with_sniff=True) + [noise(T + 200)]


def fade_mix_fade():
    # Group 0 fade (16, 40, 4), group 1 mix with delay 1 of -2, group 2 fade
    # with a new maximum 30, group 3 a repeat of group 0 that is not reported.
    return ([noise(T)] + fade(T + 100, 4, 40, 16) + mix(T + 400, 12, 24, -2) +
            [sniff(T + 600)] + fade(T + 700, 6, 40, 30) + fade(T + 1000, 4, 40, 16))


def errors():
    t = 3 * HOUR
    return [
        noise(t),                                        # 1
        xfer(t + 2),                                     # 2 mix A
        mix_rev_bus(t + 4),                              # 3
        fade_done(t + 6),                                # 4 MIX_DOFADE ERROR, no new group
        xfer(t + 8),                                     # 5 mix B
        router(t + 10),                                  # 6
        line(W, "XFER XITION SNIFFER STATUS", t + 12),   # 7 only a sniff line in a mix
        xfer(t + 14),                                    # 8 MIX_XFER XITION ERROR, mix C
        start(t + 16),                                   # 9 MIX_DOFADE ERROR, fade D
        xfer(t + 18),                                    # 10
        start(t + 20, proc="KQVX"),                      # 11 no srchname: passed over
        router(t + 22),                                  # 12
        start(t + 40),                                   # 13 START ERROR, fade E
        xfer(t + 60),                                    # 14
        router(t + 64),                                  # 15
        rev_bus(t + 66),                                 # 16
        rev_blk(t + 80),                                 # 17
        dbg(t + 72),                                     # 18
        fade_done(t + 90),                               # 19 group 0: 16, 12, 4
        xfer(t + 120),                                   # 20 mix F
        start(t + 122),                                  # 21 after group 0: passed over
        mix_rev_bus(t + 140),                            # 22
        router(t + 128),                                 # 23
        dbg(t + 132),                                    # 24
        mix_done(t + 160),                               # 25 group 1: 12, 12, 8
        fade_done(t + 170),                              # 26 between groups: nothing
        noise(t + 180),                                  # 27
        line(W, "DOFADE:START XFER XITION", t + 190),   # 28 fade G
        start(t + 200),                                  # 29 START ERROR, fade H
        xfer(t + 202),                                   # 30 H cut off by the end
    ]


def too_many_routers():
    t = 4 * HOUR
    lines = [start(t), xfer(t + 2), rev_bus(t + 4), rev_blk(t + 6), dbg(t + 8)]
    lines += [router(t + 10 + 2 * i, src=i + 1) for i in range(29)]  # lines 6-34
    lines += [fade_done(t + 100)]                                   # 35: group gone
    # Then a group with 28 router lines completes normally.
    g = fade(t + 200, 4, 10, 8)
    lines += g[:3] + [router(t + 300 + 2 * i, src=i + 2) for i in range(27)] + g[3:]
    return lines


def router_filters():
    # With LEVELTEXT "lev 02" only line 5 is a router line; without the
    # filter line 4 is the first one.
    t = 5 * HOUR
    return [
        start(t),                                                   # 1
        xfer(t + 20),                                               # 2
        router(t + 22, level="lev 02", msg="RTR REFRESH"),          # 3 never a router line
        router(t + 24, level="lev 00"),                             # 4 filtered out by level
        router(t + 26, level="lev 02", proc="KQVX"),                # 5 another process
        rev_bus(t + 28),                                            # 6
        rev_blk(t + 40),                                            # 7
        dbg(t + 30),                                                # 8
        fade_done(t + 50),                                          # 9
    ]


def marker_outputtext():
    t = 5 * HOUR
    return [
        start(t),                                                   # 1
        xfer(t + 20),                                               # 2
        line(W, "goto REV-BLK", t + 40, "dst 0130 src 0009 lev 00"),  # 3 REV_BLK
        line(W, "DBGRTRTIME", t + 30, "dst 0130 lev 00"),           # 4 DEBUG_RTR
        router(t + 24),                                             # 5 RTR1
        rev_bus(t + 26),                                            # 6
        fade_done(t + 50),                                          # 7
    ]


def duplicate_kinds():
    t = 5 * HOUR
    return [
        start(t),          # 1
        xfer(t + 10),      # 2 replaced by line 5
        dbg(t + 12),       # 3 replaced by line 7
        router(t + 14),    # 4 RTR1
        xfer(t + 20),      # 5
        router(t + 16),    # 6 second router line, slot 7
        dbg(t + 30),       # 7
        rev_bus(t + 32),   # 8
        rev_blk(t + 34),   # 9
        fade_done(t + 40),  # 10 completes the group
        fade_done(t + 50),  # 11 too late to replace
    ]


def last_line():
    lines = mix(T, 12, 24, 8)
    lines[-1] = lines[-1].rstrip("\n")  # the completing line ends the file
    return lines


def negative_deltas():
    # Delay 1: -2, -4, -4; delay 2: -6, -8, -6; delay 3: -2 each.
    def group(base, d1, d2):
        x = base + 20
        r = x - 2
        return [start(base), xfer(x), router(r), rev_bus(x + 4), rev_blk(r + d1),
                dbg(x + d2), fade_done(x + 60)]
    t = 6 * HOUR
    return group(t, -2, -6) + group(t + 200, -4, -8) + group(t + 400, -4, -6)


def clamped_timecode():
    t = HOUR
    g = fade(t, 4, 10, 8)
    g[4] = rev_blk(0).replace(tc(0), "90000000")  # REV_BLK clamped to 7fffffff
    return g


def short_timecodes():
    t = HOUR
    return [
        start(t),                                            # 1
        "WQVX XFER XITION\n",                                # 2 ends before column 65: 0
        line("RTRCTL", "RTR TAKE dst 0130 lev 00", "0102"),  # 3 ends inside the column: 64
        rev_bus(t + 4),                                      # 4
        line(W, "goto REV-BLK", "  123456", "x"),            # 5 leading blanks: 45352
        line(W, "DBGRTRTIME", "0x1A"),                       # 6 prefix: 40
        line(W, "DOFADE:DONE", ""),                          # 7 newline at column 65: 0
    ]


def long_line():
    # Read 2 is split at 249 characters, cutting "DOFADE:START" in two.
    filler = "x" * (249 - len("WQVX DOFA"))
    return [noise(T), filler + "WQVX DOFADE:START\n"] + fade(T + 10, 4, 40, 16)


MINUTE = 3600  # fields


def with_column(text, column):
    """`text` (one line) with the eight characters at column 65 replaced."""
    return text[:65] + column + text[73:]


def midnight():
    """A log from 22:05 past midnight to 01:30 and again at 22:30 the next day.

    Delays per group as (Rev2Router, RtrCmd2Status, RtrCmd2MX), in fields:
      hour 22: (10, 40, 4) (2, 30, 4) (8, 50, 6) (4, 20, 2), next day (6, 44, 4)
               sorted: Rev2Router 2 4 6 8 10, RtrCmd2Status 20 30 40 44 50,
               RtrCmd2MX 2 4 4 4 6; a START ERROR breaks the fade opened at 22:20
      hour 23: (4, 10, 4) (12, 12, 6) (68, 14, 2) (16, 16, 4); the third group's
               REV-BLK timecode reads frame 45 (misread), so its 68 is unsound
      hour 00: (6, 24, 8); a mix opened at 00:50 is broken off by the XFER of
               the next one (a block error in standard mode only)
      hour 01: three groups of (8, 20, 6)
      hour 7f: a fade at 01:30 whose START timecode 90000000 is clamped to
               7fffffff (its delays (8, 10, 4) are sound)
      hour 24: a fade opened at "24000000" broken off by the next START
    """
    h22, h23, h01 = 22 * HOUR, 23 * HOUR, HOUR
    lines = fade(h22 + 5 * MINUTE, 4, 40, 10) + fade(h22 + 15 * MINUTE, 4, 30, 2)
    lines += [start(h22 + 20 * MINUTE)]
    lines += fade(h22 + 25 * MINUTE, 6, 50, 8) + fade(h22 + 40 * MINUTE, 2, 20, 4)
    lines += fade(h23 + 5 * MINUTE, 4, 10, 4) + mix(h23 + 10 * MINUTE, 6, 12, 12)
    misread = fade(h23 + 20 * MINUTE, 2, 14, 8)  # XFER 23200010, router 23200011
    misread[4] = with_column(misread[4], "23200045")  # 90 fields - 22 = 68
    lines += misread + fade(h23 + 30 * MINUTE, 4, 16, 16)
    lines += [noise(h23 + 59 * MINUTE)]
    lines += fade(5 * MINUTE, 8, 24, 6) + [xfer(50 * MINUTE)]
    lines += mix(h01, 6, 20, 8) + fade(h01 + 10 * MINUTE, 6, 20, 8)
    lines += fade(h01 + 20 * MINUTE, 6, 20, 8)
    clamped = fade(h01 + 30 * MINUTE, 4, 10, 8)
    clamped[0] = with_column(clamped[0], "90000000")
    lines += clamped + [with_column(start(h01 + 40 * MINUTE), "24000000")]
    lines += fade(h22 + 30 * MINUTE, 4, 44, 6)
    return lines


def slow_router(starts, slow):
    """Fades opened at `starts` (fields); RtrCmd2Status 40 where `slow` holds, else 20."""
    lines = []
    for i, t in enumerate(starts):
        lines += fade(t % (24 * HOUR), 4, 40 if slow(i) else 20, 6)
    return lines


def main():
    fmf = fade_mix_fade()
    err = errors()
    many = too_many_routers()
    filt = router_filters()
    write_case("rt_clean_fade", ["a.log", "/o"], {"a.log": clean_fade()})
    write_case("rt_clean_mix", ["a.log", "/o"], {"a.log": clean_mix()})
    write_case("rt_fade_mix_fade", ["a.log", "/o"], {"a.log": fmf})
    write_case("rt_summary_mode", ["a.log", "/sum", "/o"], {"a.log": fmf})
    write_case("rt_excel", ["a.log", "/excel"], {"a.log": fmf})
    write_case("rt_errors", ["a.log", "/o"], {"a.log": err})
    write_case("rt_errors_summary", ["a.log", "/o", "/sum"], {"a.log": err})
    write_case("rt_errors_excel_summary", ["a.log", "/sum", "/excel"], {"a.log": err})
    write_case("rt_too_many_routers", ["a.log", "/o"], {"a.log": many})
    write_case("rt_too_many_routers_summary", ["a.log", "/o", "/sum"], {"a.log": many})
    write_case("rt_router_level_filter", ["a.log"], {"a.log": filt, "qv.cfg": ["LEVELTEXT,lev 02\n"]})
    write_case("rt_router_no_filter", ["a.log"], {"a.log": filt})
    write_case("rt_marker_with_outputtext", ["a.log"], {"a.log": marker_outputtext()})
    write_case("rt_duplicate_kinds", ["a.log"], {"a.log": duplicate_kinds()})
    write_case("rt_group_ends_file", ["a.log", "/o"], {"a.log": last_line()})
    write_case("rt_negative_deltas", ["a.log"], {"a.log": negative_deltas()})
    write_case("rt_clamped_timecode", ["a.log"], {"a.log": clamped_timecode()})
    write_case("rt_short_timecodes", ["a.log"], {"a.log": short_timecodes()})
    write_case("rt_long_line_split", ["a.log"], {"a.log": long_line()})
    other = [text.replace(W, "KQVX") for text in fade(T + 10, 4, 40, 16)]
    write_case("rt_empty_srchname", ["a.log", "/s", ""], {"a.log": other})
    # b.log starts with the lines that a.log's cut-off fade still awaits, and
    # c.log repeats a.log's delays: reported again only because stats reset.
    a = fade(T, 4, 40, 16) + [start(T + 300), xfer(T + 310), router(T + 312)]
    b = [rev_bus(T + 10), rev_blk(T + 20), dbg(T + 30), fade_done(T + 40)]
    c = mix(T, 4, 40, 16)
    write_case("rt_multi_file", ["*.log", "/multi", "/o"], {"a.log": a, "b.log": b, "c.log": c})
    night = midnight()
    write_case("hours_across_midnight", ["a.log", "/hours", "h.csv", "/csv", "t.csv"],
               {"a.log": night})
    write_case("limit_one_breach", ["a.log", "/sum", "/limit", "rtrcmd2mx:6"], {"a.log": night})
    write_case("limit_many_breaches_two_limits",
               ["a.log", "/sum", "/limit", "RtrCmd2Status:30", "/limit", "rev2router:12"],
               {"a.log": night})
    write_case("limit_later_replaces_earlier_no_breach",
               ["a.log", "/sum", "/limit", "rtrcmd2mx:2", "/limit", "rtrcmd2mx:8",
                "/limit", "rev2router:2147483647"], {"a.log": night})
    write_case("limit_error_wins_over_breach",
               ["a.log", "/sum", "/limit", "rtrcmd2mx:6", "/plot", "nodir/c.svg"],
               {"a.log": night})
    write_case("limit_bad_delay_name",
               ["a.log", "/csv", "t.csv", "/limit", "nosuch:5", "/hours", "h.csv"],
               {"a.log": night})
    write_case("limit_bad_value", ["a.log", "/hours", "h.csv", "/limit", "rtrcmd2mx:5",
                                   "/limit", "rtrcmd2mx:x"], {"a.log": night})
    write_case("limit_out_of_range", ["a.log", "/limit", "rev2router:2147483648"],
               {"a.log": night})
    write_case("limit_no_file_analysed", ["none*.log", "/multi", "/limit", "rtrcmd2mx:6"],
               {"a.log": night})
    write_case("limit_as_last_argument", ["a.log", "/sum", "/limit"], {"a.log": night})
    write_case("hours_as_last_argument", ["a.log", "/sum", "/hours"], {"a.log": night})
    write_case("hours_limit_not_in_grep_mode",
               ["a.log", "/csv", "t.csv", "/plot", "t.svg", "/hours", "h.csv",
                "/limit", "rtrcmd2mx:0", "/grep", "DONE"], {"a.log": clean_fade()})
    write_case("hours_is_the_log_file", ["a.log", "/hours", "a.log"], {"a.log": clean_fade()})
    write_case("hours_is_the_csv_file", ["a.log", "/csv", "t.csv", "/hours", "t.csv"],
               {"a.log": clean_fade()})
    # A pattern run: a file per row set, one without transitions and one with
    # block errors only; the hours file itself matches the pattern.
    only_errors = [start(3 * HOUR), start(3 * HOUR + 100), start(4 * HOUR)]
    write_case("hours_pattern_run", ["*.log", "/multi", "/sum", "/hours", "z.log",
                                     "/limit", "rtrcmd2status:40"],
               {"a.log": fade_mix_fade(), "b.log": [noise(T)], "c.log": only_errors,
                "d.log": night})
    # Breach totals: a.log holds one incident of three (the last 4:59 after the
    # first), a clean fade, a breach exactly five minutes after the last (a new
    # incident) and one more; b.log thirteen incidents six minutes apart (the
    # file's and the run's lists are cut at ten); c.log one across midnight.
    ten = 10 * HOUR
    a = slow_router([ten, ten + MINUTE, ten + 5 * MINUTE - 60, ten + 6 * MINUTE,
                     ten + 10 * MINUTE - 60, ten + 20 * MINUTE], lambda i: i != 3)
    b = slow_router([11 * HOUR + 6 * MINUTE * i for i in range(13)], lambda i: True)
    c = slow_router([24 * HOUR - 2 * MINUTE, 24 * HOUR + MINUTE], lambda i: True)
    write_case("limit_totals_incidents",
               ["*.log", "/multi", "/sum", "/limit", "rtrcmd2status:30", "/limit",
                "rtrcmd2mx:100"], {"a.log": a, "b.log": b, "c.log": c})
    write_case("limit_totals_single_file", ["a.log", "/sum", "/limit", "rtrcmd2status:30"],
               {"a.log": a})


if __name__ == "__main__":
    main()
