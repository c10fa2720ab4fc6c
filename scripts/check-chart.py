#!/usr/bin/env python3
"""Checks of a delay chart, for scripts/leg-chart.sh.

    check-chart.py WORK            the chart.svg, rows.csv and stdout.txt of a /multi run
    check-chart.py --picture PNG   a browser's picture of that chart

The first checks the chart against the run: a panel per file with the run
summary's counts in its title, CSV rows adding up, the parts of a panel
present, scales shared by all panels, day changes and left-out groups
noted, texts whose estimated boxes (0.62 em per character) keep apart. The
second checks that the picture shows the chart: the three delay colours in
quantity, so neither a blank page nor an error page passes.
"""
import csv
import re
import struct
import sys
import xml.etree.ElementTree as ET
import zlib

NS = "{http://www.w3.org/2000/svg}"
COLOURS = {"Rev2Router": (0x00, 0x72, 0xB2), "RtrCmd2Status": (0xE6, 0x9F, 0x00),
           "RtrCmd2MX": (0x00, 0x9E, 0x73)}


def runs_of(stdout):
    runs = []
    for chunk in stdout.split("**** Processing File ")[1:]:
        name = chunk[:chunk.index(" ****\n")]
        lines, transitions = re.search(
            r"\n    Analyzed +(\d+) lines +(\d+) transitions\n", chunk).groups()
        errors = re.search(r"\n\tTRANS Block errors +(\d+)\n", chunk)
        runs.append((name, lines, transitions, errors.group(1) if errors else "0"))
    return runs


def texts_of(panel, cls=None):
    return [t for t in panel.iter(NS + "text") if cls is None or t.get("class") == cls]


def box(t):
    size = float(t.get("font-size", "12"))
    width = 0.62 * size * len(t.text or "")
    x, y = float(t.get("x")), float(t.get("y"))
    left = {"middle": x - width / 2, "end": x - width}.get(t.get("text-anchor"), x)
    return left, y - 0.8 * size, left + width, y + 0.25 * size


def check_text_apart(name, panel):
    boxes = [(box(t), t.text) for t in texts_of(panel)]
    for i, (a, text) in enumerate(boxes):
        assert a[0] >= 0 and a[2] <= 1200, (name, text, a)
        for b, other in boxes[i + 1:]:
            apart = a[2] <= b[0] or b[2] <= a[0] or a[3] <= b[1] or b[3] <= a[1]
            assert apart, (name, text, other)


def check_panel(name, panel):
    for cls in ("whiskers", "bands", "medians", "dots"):
        count = sum(1 for p in panel.iter(NS + "path") if p.get("class") == cls)
        assert count == 3, (name, cls, count)
    xs = [float(t.get("x")) for t in texts_of(panel, "time-tick")]
    assert xs == sorted(xs) and len(set(xs)) == len(xs), (name, xs)
    check_text_apart(name, panel)


def check_overnight(panel):
    ticks = [t.text for t in texts_of(panel, "time-tick")]
    assert ticks[0] == "12:00" and ticks[-1] == "12:00" and "00:00" in ticks, ticks
    assert [t.text for t in texts_of(panel, "mark")] == ["day 2"]
    note = " ".join(t.text for t in texts_of(panel, "note"))
    assert "with a delay from a misread timecode are left out" in note, note


def check_shared_scales(panels):
    def scales(panel):
        delays = [t.text for t in texts_of(panel, "delay-tick")]
        first_tick = texts_of(panel, "time-tick")[0].get("x")
        caption = [t.text for t in texts_of(panel) if (t.text or "").startswith("histograms, bins")]
        return delays, first_tick, caption
    assert len({repr(scales(p)) for p in panels}) == 1, [scales(p) for p in panels]


def check_run(work):
    runs = runs_of(open(work + "/stdout.txt").read())
    assert len(runs) == 4, runs
    svg = ET.parse(work + "/chart.svg").getroot()
    panels = [g for g in svg if g.tag == NS + "g"]
    assert len(panels) == 4, len(panels)
    rows = list(csv.reader(open(work + "/rows.csv", newline="")))[1:]
    drawn = []
    for (name, lines, transitions, errors), panel in zip(runs, panels):
        title = panel.find(NS + "text").text
        want = "%s: %s transitions, %s block errors, %s lines" % (name, transitions, errors, lines)
        assert title == want, (title, want)
        assert sum(1 for r in rows if r[0] == name) == int(transitions), name
        if transitions == "0":
            assert "no completed transitions" in [t.text for t in texts_of(panel)], name
            continue
        assert ("%s groups;" % transitions) in " ".join(t.text for t in texts_of(panel)), name
        check_panel(name, panel)
        if name == "overnight.log":
            check_overnight(panel)
        drawn.append(panel)
    check_shared_scales(drawn)
    assert not svg.findall(".//" + NS + "script")
    size = len(open(work + "/chart.svg", "rb").read())
    print("chart ok: %d panels, %d rows, %d bytes" % (len(panels), len(rows), size))
    assert size < 400 * 1024, size


def png_pixels(path):
    """Width, height and RGB rows of an 8-bit RGB or RGBA PNG."""
    data = open(path, "rb").read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG"
    at, idat, header = 8, b"", None
    while at < len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        body = data[at + 8:at + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        at += 12 + length
    width, height, depth, colour, _, _, interlace = header
    assert depth == 8 and colour in (2, 6) and interlace == 0, header
    step = 3 if colour == 2 else 4
    raw, stride, rows, previous = zlib.decompress(idat), width * step, [], bytearray(width * step)
    for y in range(height):
        kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            left = line[i - step] if i >= step else 0
            up, corner = previous[i], previous[i - step] if i >= step else 0
            if kind == 1:
                line[i] = (line[i] + left) & 255
            elif kind == 2:
                line[i] = (line[i] + up) & 255
            elif kind == 3:
                line[i] = (line[i] + (left + up) // 2) & 255
            elif kind == 4:
                p = left + up - corner
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - corner)
                line[i] = (line[i] + (left if pa <= pb and pa <= pc else up if pb <= pc else corner)) & 255
        rows.append(line)
        previous = line
    return width, height, step, rows


def check_picture(path):
    width, height, step, rows = png_pixels(path)
    assert width == 1200, width
    near = {name: 0 for name in COLOURS}
    dark = 0
    for row in rows[::2]:
        for c in range(0, len(row), step * 2):
            r, g, b = row[c], row[c + 1], row[c + 2]
            if r + g + b < 150:
                dark += 1
            for name, (cr, cg, cb) in COLOURS.items():
                if abs(r - cr) + abs(g - cg) + abs(b - cb) < 60:
                    near[name] += 1
    print("picture %dx%d: %d dark pixels, %s" % (width, height, dark, near))
    assert dark > 500, "no text drawn"
    for name, count in near.items():
        assert count > 100, "%s hardly drawn: blank or error page?" % name


if __name__ == "__main__":
    if sys.argv[1] == "--picture":
        check_picture(sys.argv[2])
    else:
        check_run(sys.argv[1])
