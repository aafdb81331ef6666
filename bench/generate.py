#!/usr/bin/env python3
"""Writes a deterministic CAM-style CNC program of about SIZE megabytes.

Usage: generate.py SIZE_MB OUTPUT
CR LF lines with block numbers, linear moves, arcs with I and J, comments and
tool changes, the way CAM post-processors write 3-D surface programs.
"""
import random
import sys


def main():
    size = int(float(sys.argv[1]) * 1000 * 1000)
    rng = random.Random(20261208)
    lines = ["(Tornavel benchmark program)", "%", "N10 G90 G17 G21 G54", "N20 T1 M6", "N30 S12000 M3"]
    written = sum(len(line) + 2 for line in lines)
    block = 40
    x = y = 0.0
    z = -1.0
    with open(sys.argv[2], "wb") as out:
        out.write(("\r\n".join(lines) + "\r\n").encode("ascii"))
        chunk = []
        while written < size:
            block += 10
            roll = rng.random()
            if roll < 0.0005:
                line = "N%d T%d M6 (tool change)" % (block, rng.randint(1, 12))
            elif roll < 0.002:
                line = "(pass %d)" % block
            elif roll < 0.1:
                x2 = round(x + rng.uniform(-5, 5), 3)
                y2 = round(y + rng.uniform(-5, 5), 3)
                line = "N%d G%02d X%.3f Y%.3f I%.3f J%.3f" % (
                    block, rng.choice((2, 3)), x2, y2, rng.uniform(-3, 3), rng.uniform(-3, 3))
                x, y = x2, y2
            else:
                x = round(x + rng.uniform(-2, 2), 3)
                y = round(y + rng.uniform(-2, 2), 3)
                z = round(min(0.0, z + rng.uniform(-0.05, 0.05)), 3)
                line = "N%d G01 X%.3f Y%.3f Z%.3f F%d" % (block, x, y, z, rng.choice((800, 1200, 1500)))
            chunk.append(line)
            written += len(line) + 2
            if len(chunk) >= 10000:
                out.write(("\r\n".join(chunk) + "\r\n").encode("ascii"))
                chunk = []
        chunk.append("N%d M30" % (block + 10))
        out.write(("\r\n".join(chunk) + "\r\n").encode("ascii"))


if __name__ == "__main__":
    main()
