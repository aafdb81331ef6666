#!/usr/bin/env python3
"""Writes a deterministic program for the cut path benchmark.

Usage: generate_cut.py contour COUNT OUTPUT   COUNT compensated elements
       generate_cut.py holes COUNT OUTPUT     COUNT peck-drilled holes
The contour: closed G41 loops of lines and arcs (outer corners, inner corners
cut back, tangent joints) approached and left with G40, tool 1. The holes: a
grid drilled with G83 and G73, Q written first on its line as the reader
wants it.
"""
import random
import sys


def contour(count, out):
    rng = random.Random(20261209)
    lines = ["%", "G90 G17 G21", "T1 M6", "G0 Z5"]
    written = 0
    loop = 0
    while written < count:
        # A loop of n sides around a centre, run counter-clockwise under G41:
        # the tool inside, so each corner is inner unless an arc bulges out.
        cx = (loop % 100) * 300.0
        cy = (loop // 100) * 300.0
        n = rng.randint(6, 12)
        points = []
        for side in range(n):
            angle = 2 * 3.141592653589793 * (side + rng.uniform(-0.2, 0.2)) / n
            radius = rng.uniform(90, 120)
            points.append((cx + radius * __import__("math").cos(angle), cy + radius * __import__("math").sin(angle)))
        lines.append("G0 X%.3f Y%.3f" % (cx, cy))
        lines.append("G1 Z-2 F300")
        lines.append("G41 G1 X%.3f Y%.3f" % points[0])
        for side in range(1, n + 1):
            x, y = points[side % n]
            kind = rng.random()
            if kind < 0.3:
                # An arc bulging outwards (counter-clockwise): outer corners.
                lines.append("G3 X%.3f Y%.3f R%.3f" % (x, y, rng.uniform(80, 150)))
            elif kind < 0.45:
                # An arc curving inwards (clockwise), wide enough for the tool.
                lines.append("G2 X%.3f Y%.3f R%.3f" % (x, y, rng.uniform(120, 200)))
            else:
                lines.append("G1 X%.3f Y%.3f" % (x, y))
            written += 1
        lines.append("G40 G1 X%.3f Y%.3f" % (cx, cy))
        lines.append("G0 Z5")
        loop += 1
    lines.append("M30")
    out.write(("\r\n".join(lines) + "\r\n").encode("ascii"))


def holes(count, out):
    lines = ["%", "G90 G17 G21", "T1 M6", "G0 Z10", "G99"]
    for hole in range(count):
        x = (hole % 250) * 8.0
        y = (hole // 250) * 8.0
        if hole % 250 == 0:
            cycle = 83 if (hole // 250) % 2 == 0 else 73
            lines.append("Q1.5 G%d X%.3f Y%.3f Z-9 R1 F200" % (cycle, x, y))
        else:
            lines.append("X%.3f Y%.3f" % (x, y))
    lines.append("G80")
    lines.append("M30")
    out.write(("\r\n".join(lines) + "\r\n").encode("ascii"))


def main():
    kind, count, output = sys.argv[1], int(sys.argv[2]), sys.argv[3]
    with open(output, "wb") as out:
        {"contour": contour, "holes": holes}[kind](count, out)


if __name__ == "__main__":
    main()
