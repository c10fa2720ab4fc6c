#!/usr/bin/env python3
"""Checks of a delay chart, for scripts/leg-chart.sh.

    check-chart.py WORK            the chart.svg, rows.csv and stdout.txt of a /multi run
    check-chart.py --picture PNG   a browser's picture of a chart

The first checks the chart against the run: it parses as XML, a panel per
file (up to the number drawn) with the run summary's counts in its title,
an overview column per file with its CSV row count, one delay axis for every
view and panel, under a megabyte. The second checks that the picture shows
the chart: the three delay colours in quantity and dark text, so neither a
blank page nor an error page passes.
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


def of_class(tree, tag, cls):
    return [e for e in tree.iter(NS + tag) if e.get("class") == cls]


def check_run(work):
    runs = runs_of(open(work + "/stdout.txt", encoding="utf-8", errors="replace").read())
    svg = ET.parse(work + "/chart.svg").getroot()
    panels = of_class(svg, "g", "panel")
    assert len(panels) == min(len(runs), 31), (len(panels), len(runs))
    rows = list(csv.DictReader(open(work + "/rows.csv", newline="", encoding="utf-8",
                                    errors="replace")))
    for (name, lines, transitions, errors), panel in zip(runs, panels):
        title = "".join(of_class(panel, "text", "panel-title")[0].itertext())
        want = "%s: %s transitions, %s block errors, %s lines" % (name, transitions, errors, lines)
        # A name of bytes that are no UTF-8 shows them as Latin-1 characters.
        figures = want[len(name):]
        assert title.startswith(want) or ("\ufffd" in name and title.endswith(figures)), \
            (title, want)
    tips = [e.find(NS + "title").text for e in of_class(svg, "rect", "column")]
    if len(runs) > 1:
        for name, _, _, _ in runs:
            if "\ufffd" in name:  # a name of bytes that are no UTF-8
                continue
            sound = sum(1 for r in rows if r["file"] == name)
            head = "%s: " % name
            found = [t for t in tips if t.startswith(head)]
            # No misread timecodes in these logs: every row is sound.
            assert found and found[0].startswith(head + "%d groups with sound delays" % sound), \
                (name, found)
    assert len(rows) == sum(int(r[2]) for r in runs), len(rows)
    axes = {repr([t.text for t in of_class(g, "text", "delay-tick")])
            for g in of_class(svg, "g", "panel") + of_class(svg, "g", "view")}
    assert len(axes) == 1, axes
    assert not svg.findall(".//" + NS + "script")
    size = len(open(work + "/chart.svg", "rb").read())
    print("chart ok: %d files, %d panels, %d rows, %d bytes" % (len(runs), len(panels),
                                                               len(rows), size))
    assert size < 1024 * 1024, size


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
    assert width == 1400, width
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
