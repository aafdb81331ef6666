#!/usr/bin/env python3
"""Times `tornavel-cli compare` on a generated class: a reference program and
a folder of 30 learner programs of about 2,000 moves each (pockets in several
depths, a contour, a hole pattern and arcs), each learner with its own faults
(a row too deep, levels left out, a shifted contour). The default box, 1000
cells on its longer side. Prints the fastest of RUNS whole runs.

Usage: compare_bench.py CLI [RUNS] [LEARNERS]
"""
import os
import random
import resource
import subprocess
import sys
import tempfile
import time

# The whole class folder's comparison on this 2-core machine.
TARGET_SECONDS = 3.0


def program(seed, faults):
    """The exercise's program; faults is a set of what this learner got wrong."""
    rng = random.Random(seed)
    lines = ["%", "(Uebung Tasche mit Bohrbild)", "N10 G90 G17 G21", "N20 T1 M6", "N30 S3000 M3"]
    block = 30

    def add(text):
        nonlocal block
        block += 10
        lines.append("N%d %s" % (block, text))

    moves = 0
    shift = 0.3 if "shifted" in faults else 0.0
    too_deep_row = rng.randrange(5, 22) if "row" in faults else -1
    left_out = rng.randrange(5, 15) if "levels" in faults else -1
    for level in range(20):
        z = -0.5 * (level + 1)
        if level in (left_out, left_out + 1):
            continue
        add("G0 X5 Y5 Z1")
        add("G1 Z%.3f F100" % z)
        moves += 2
        for row in range(22):
            y = 5 + 2 * row
            depth = z - (0.5 if row == too_deep_row and level == 19 else 0.0)
            add("G1 X95 Y%.3f Z%.3f F800" % (y, depth))
            add("G1 Y%.3f" % (y + 1))
            add("G1 X5")
            add("G1 Y%.3f Z%.3f" % (y + 2, z))
            moves += 4
        add("G1 X%.3f Y3 F600" % (3 + shift))
        add("G1 X%.3f" % (97 + shift))
        add("G1 Y67")
        add("G1 X%.3f" % (3 + shift))
        add("G1 Y3")
        moves += 5
    add("G0 Z5")
    add("T2 M6")
    for hole in range(60):
        x = 10 + 8 * (hole % 10) + (rng.uniform(-0.2, 0.2) if "holes" in faults else 0.0)
        y = 12 + 9 * (hole // 10)
        add("G0 X%.3f Y%.3f Z1" % (x, y))
        add("G1 Z-12 F80")
        add("G0 Z1")
        moves += 3
    while moves < 2000:
        x = 50 + rng.uniform(-30, 30)
        y = 35 + rng.uniform(-20, 20)
        add("G0 X%.3f Y%.3f Z1" % (x, y))
        add("G1 Z-10.5")
        add("G2 X%.3f Y%.3f I2 J0" % (x + 4, y))
        add("G0 Z1")
        moves += 4
    add("G0 Z10")
    add("M30")
    return "\r\n".join(lines) + "\r\n", moves


def main():
    cli = sys.argv[1]
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 3
    learners = int(sys.argv[3]) if len(sys.argv) > 3 else 30
    kinds = [set(), {"row"}, {"levels"}, {"shifted"}, {"holes"}, {"row", "shifted"}]
    with tempfile.TemporaryDirectory() as work:
        reference, moves = program(1, set())
        with open(os.path.join(work, "muster.nc"), "w", newline="") as out:
            out.write(reference)
        folder = os.path.join(work, "klasse")
        os.mkdir(folder)
        for learner in range(learners):
            text, _ = program(1 if learner % 6 == 0 else 100 + learner, kinds[learner % len(kinds)])
            with open(os.path.join(folder, "schueler_%02d.nc" % learner), "w", newline="") as out:
                out.write(text)
        best = None
        best_processor = None
        for _ in range(runs):
            before = resource.getrusage(resource.RUSAGE_CHILDREN)
            start = time.perf_counter()
            result = subprocess.run([cli, "compare", os.path.join(work, "muster.nc"), folder],
                                    check=True, capture_output=True, text=True)
            seconds = time.perf_counter() - start
            after = resource.getrusage(resource.RUSAGE_CHILDREN)
            # On a shared machine the wall time holds others' time too; the
            # processor time spread over two cores is what a free machine takes.
            processor = after.ru_utime + after.ru_stime - before.ru_utime - before.ru_stime
            best = seconds if best is None else min(best, seconds)
            best_processor = processor if best_processor is None else min(best_processor, processor)
        header = result.stdout.splitlines()[0]
        print("compare: %d learners of %d moves, %s" % (learners, moves, header))
        print("compare: fastest of %d runs %.3f s (target %.0f s, ratio %.2f; load average %s)" % (
            runs, best, TARGET_SECONDS, best / TARGET_SECONDS, " ".join("%.1f" % load for load in os.getloadavg())))
        print("compare: least processor time %.3f s, over 2 cores %.3f s (target %.0f s, ratio %.2f)" % (
            best_processor, best_processor / 2, TARGET_SECONDS, best_processor / 2 / TARGET_SECONDS))


if __name__ == "__main__":
    main()
