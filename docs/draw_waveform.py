#!/usr/bin/env python3
"""Draws the port lines of a burn2051-sim waveform (VCD) as an SVG picture.

    draw_waveform.py RUN.vcd OUT.svg [--byte N]

Without --byte the whole run is drawn; with it, one byte cycle: from just
before byte N's PROG pulse to just after byte N+1's.
"""
import sys

LINES = ["strobe", "autofeed", "init", "selectin", "ack"]
LABELS = {"data": "D0-D7 (pins 2-9)", "strobe": "Strobe (1)", "autofeed": "AutoFeed (14)",
          "init": "Init (16)", "selectin": "SelectIn (17)", "ack": "Ack (10)"}


def read_vcd(path):
    ids, changes, now = {}, [], 0
    with open(path) as vcd:
        for line in vcd:
            words = line.split()
            if not words:
                continue
            if words[0] == "$var":
                ids[words[3]] = words[4]
            elif words[0].startswith("#"):
                now = int(words[0][1:])
            elif words[0].startswith("b"):
                changes.append((now, ids[words[1]], int(words[0][1:], 2)))
            elif words[0][0] in "01" and words[0][1:] in ids:
                changes.append((now, ids[words[0][1:]], int(words[0][0])))
    return changes


def series(changes, name):
    return [(t, v) for t, n, v in changes if n == name]


def value_at(points, t):
    value = points[0][1]
    for when, v in points:
        if when > t:
            break
        value = v
    return value


def window_of_byte(changes, n):
    # Byte n's PROG pulse is the (n+2)-th rise of Init (the first is the
    # erase); the window runs from just before it to just after byte n+1's.
    rises = [t for t, name, v in changes if name == "init" and v == 1]
    start = rises[n + 1] - 300000
    end = rises[n + 2] + 600000 if n + 2 < len(rises) else rises[n + 1] + 4000000
    return start, end


def draw(changes, start, end, title):
    width, left, row, top = 1100, 150, 46, 50
    names = ["data"] + LINES
    height = top + row * len(names) + 50
    scale = (width - left - 20) / (end - start)
    x = lambda t: left + (min(max(t, start), end) - start) * scale
    out = [f'<svg xmlns="http://www.w3.org/2000/svg" width="{width}" height="{height}" '
           f'font-family="monospace" font-size="12">',
           f'<rect width="{width}" height="{height}" fill="white"/>',
           f'<text x="10" y="24" font-size="15">{title}</text>']
    for i, name in enumerate(names):
        y0 = top + i * row
        hi, lo = y0 + 8, y0 + row - 12
        out.append(f'<text x="10" y="{(hi + lo) / 2 + 4}">{LABELS[name]}</text>')
        points = series(changes, name)
        edges = [(start, value_at(points, start))] + [(t, v) for t, v in points if start < t < end]
        if name == "data":
            for j, (t, v) in enumerate(edges):
                t_end = edges[j + 1][0] if j + 1 < len(edges) else end
                x1, x2 = x(t), x(t_end)
                out.append(f'<polygon points="{x1},{(hi + lo) / 2} {x1 + 2},{hi} {x2 - 2},{hi} '
                           f'{x2},{(hi + lo) / 2} {x2 - 2},{lo} {x1 + 2},{lo}" '
                           f'fill="#e8f0ff" stroke="#2050a0"/>')
                if x2 - x1 > 22:
                    out.append(f'<text x="{(x1 + x2) / 2 - 8}" y="{(hi + lo) / 2 + 4}">{v:02X}</text>')
            continue
        path, level = [], None
        for t, v in edges:
            y = hi if v else lo
            path.append(f"{x(t)},{y}" if level is None else f"{x(t)},{hi if level else lo} {x(t)},{y}")
            level = v
        path.append(f"{x(end)},{hi if level else lo}")
        colour = "#b03020" if name == "ack" else "#207030"
        out.append(f'<polyline points="{" ".join(path)}" fill="none" stroke="{colour}" stroke-width="1.5"/>')
    axis_y = top + row * len(names) + 10
    out.append(f'<line x1="{left}" y1="{axis_y}" x2="{width - 20}" y2="{axis_y}" stroke="black"/>')
    span = end - start
    step = next(s for s in [10**k * m for k in range(3, 12) for m in (1, 2, 5)] if span / s <= 10)
    tick = (start // step + 1) * step
    while tick < end:
        label = f"{tick / 1e6:g} ms" if step < 1e9 else f"{tick / 1e9:g} s"
        out.append(f'<line x1="{x(tick)}" y1="{axis_y}" x2="{x(tick)}" y2="{axis_y + 5}" stroke="black"/>')
        out.append(f'<text x="{x(tick) - 20}" y="{axis_y + 20}">{label}</text>')
        tick += step
    out.append("</svg>")
    return "\n".join(out) + "\n"


def main(argv):
    if len(argv) not in (3, 5) or (len(argv) == 5 and argv[3] != "--byte"):
        sys.exit(__doc__)
    changes = read_vcd(argv[1])
    if len(argv) == 5:
        n = int(argv[4])
        start, end = window_of_byte(changes, n)
        title = f"burn2051: one byte cycle (byte {n})"
    else:
        start, end = 0, max(t for t, _, _ in changes) + 20000000
        title = "burn2051: the whole run (erase, 3 s settle, 56 bytes)"
    with open(argv[2], "w") as svg:
        svg.write(draw(changes, start, end, title))


if __name__ == "__main__":
    main(sys.argv)
