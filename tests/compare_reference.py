#!/usr/bin/env python3
"""An independent computation of `compare`, checked against what the CLI
prints as JSON, as a spreadsheet table (--csv) and as a picture (--png).

Reference programs and learner variants of them are generated here (one row
too deep, rows missing, shifted, identical, a syntax error, a cut error, cuts
outside the box, a file that cannot be opened). Each program's cut path comes
from cut_reference.py, worked out from the programmed path (`path`); the
sweep, the box, the cells and the comparison are worked out here.

The sweep here is exact for a flat tool along a straight piece; arcs are cut
into chords much finer than a cell. Because a cell whose centre lies on the
tool's rim may fall either way, every cell gets a lowest and a highest
height: the CLI's counts, largest differences, volumes and first move too
deep must lie between what those bounds allow.

Usage: compare_reference.py CLI [--seed N] [--count N] [--keep DIR]
"""
import argparse
import csv
import io
import json
import math
import os
import random
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import cut_reference as cut  # noqa: E402

# The tolerances and flat tools an exercise is compared with.
TOLERANCES = (0.05, 0.02, 0.2)
DIAMETERS = (6.0, 4.0, 8.0)
# A cell centre this close to the rim counts as either side of it. The CLI
# cuts arcs into chords no farther than this from the arc and widens the
# tool by as much (move_chords: at most 5e-4).
RIM = 1e-6
CLI_CHORD = 5e-4
# Chords here stay this close to the arc.
OWN_CHORD = 1e-5
# Numbers printed with 17 digits, read back.
NUMBER = 1e-9
CELLS_ON_LONGER_SIDE = 48


def num(value):
    return cut.num(value)


# -- the programs ---------------------------------------------------------------
class Exercise:
    """A reference program as a list of lines, with the places a learner's
    variant changes."""

    def __init__(self, rng):
        self.rng = rng
        self.width = rng.uniform(24, 40)
        self.height = rng.uniform(16, 28)
        self.levels = rng.randint(1, 3)
        self.contour = rng.random() < 0.5
        self.holes = rng.random() < 0.5
        self.arc = rng.random() < 0.7
        self.arc_radius = rng.uniform(2, 5)

    def lines(self, fault):
        rng = random.Random(self.rng.random())
        shift = 0.7 if fault == 'shifted' else 0.0
        deep_row = rng.randrange(2, 5) if fault == 'too deep' else -1
        missing = set(range(rng.randrange(1, 3), 6)) if fault == 'rows missing' else set()
        out = ['%', 'G90 G17', 'T1', 'G0 X%s Y0 Z5' % num(shift)]

        def x(value):
            return num(value + shift)
        rows = int(self.height // 3) + 1
        for level in range(self.levels):
            z = -(level + 1.0)
            out.append('G0 X%s Y0 Z1' % x(0))
            out.append('G1 Z%s F100' % num(z))
            for row in range(rows):
                if level == self.levels - 1 and row in missing:
                    continue
                deep = level == self.levels - 1 and row == deep_row
                if deep:
                    out.append('G1 Z%s' % num(z - 0.5))
                out.append('G1 Y%s' % num(3.0 * row))
                out.append('G1 X%s' % x(self.width if row % 2 == 0 else 0))
                if deep:
                    out.append('G1 Z%s' % num(z))
            out.append('G0 Z1')
        if fault == 'syntax error':
            out.append('G1 X')
        if fault == 'cut error':
            # Compensation switched on by an arc: the cut path ends there.
            out.append('G0 X%s Y0 Z1' % x(0))
            out.append('G41 G2 X%s Y0 I2 J0' % x(4))
        if self.arc:
            cx, cy, radius = self.width / 2, self.height + 6, self.arc_radius
            out.append('G0 X%s Y%s Z1' % (x(cx - radius), num(cy)))
            out.append('G1 Z-1.5')
            out.append('G2 X%s Y%s I%s J0' % (x(cx + radius), num(cy), num(radius)))
            out.append('G3 X%s Y%s I%s J0' % (x(cx - radius), num(cy), num(-radius)))
            out.append('G0 Z1')
        if self.contour:
            # Around the pocket, the tool outside it, its corners rounded.
            low, high = -6.0, self.width + 6.0
            out.append('G0 X%s Y-12 Z1' % x(low))
            out.append('G1 Z-0.5')
            out.append('G42 G1 X%s Y-5' % x(low + 1))
            out.append('G1 X%s' % x(high - 1))
            out.append('G1 Y%s' % num(self.height + 2))
            out.append('G1 X%s' % x(low + 1))
            out.append('G1 Y-5')
            out.append('G40 G1 X%s Y-12' % x(low))
            out.append('G0 Z1')
        if self.holes:
            out.append('G81 X%s Y%s Z-4 R1' % (x(self.width + 3), num(self.height / 2)))
            out.append('X%s Y%s' % (x(-3), num(self.height / 2)))
            out.append('G80')
        if fault == 'outside the box':
            out.append('G1 X%s Y-30 Z-25' % x(self.width + 40))
            out.append('G1 X%s' % x(-40))
            out.append('G0 Z5')
        out.append('G0 Z5')
        out.append('M30')
        return out


FAULTS = ['identical', 'too deep', 'rows missing', 'shifted', 'syntax error', 'cut error', 'outside the box']


# -- the cut path and the sweep ----------------------------------------------------
def cut_path(cli, path, text, diameter):
    """The load record, the cut moves with their tools' radii, and the cut error."""
    rc, out, err = cut.run_cli(cli, ['path'], path)
    lines = out.splitlines()
    load = json.loads(lines[0])
    if load['result'] == -2:
        return load, [], None
    moves = [json.loads(line) for line in lines if '"event":"move"' in line]
    kept = text.split('\n')
    if load['result'] != 1:
        # The words before the failed line are loaded; its block never ends.
        failed = int(load['error'].rsplit(' ', 1)[1])
        kept = kept[:failed - 1]
    blocks, _ = cut.parse_program('\n'.join(kept) + '\n')
    reference = cut.Reference(blocks, moves, {}, diameter)
    reference.run()
    # The default tool throughout: these programs name T1, which no option
    # and no comment gives another.
    for move in reference.out:
        move['radius'] = diameter / 2
    return load, reference.out, reference.error


def pieces(move):
    """A move as straight pieces, and how far they may stray from it."""
    if 'sweep' not in move:
        return [(move['from'], move['to'])], 0.0
    c = move['center']
    a0 = math.atan2(move['from'][1] - c[1], move['from'][0] - c[0])
    # Rounded words make most arcs a spiral by a hair: its radius changes
    # evenly with the angle.
    r0 = math.hypot(move['from'][0] - c[0], move['from'][1] - c[1])
    r1 = math.hypot(move['to'][0] - c[0], move['to'][1] - c[1])
    sweep = math.radians(move['sweep'])
    step = 2 * math.acos(max(-1.0, 1 - OWN_CHORD / max(r0, r1, OWN_CHORD)))
    count = max(1, int(math.ceil(abs(sweep) / step)))
    points = [move['from']]
    for k in range(1, count):
        t = k / count
        angle = a0 + sweep * t
        radius = r0 + (r1 - r0) * t
        points.append([c[0] + radius * math.cos(angle), c[1] + radius * math.sin(angle),
                       move['from'][2] + (move['to'][2] - move['from'][2]) * t])
    points.append(move['to'])
    return list(zip(points, points[1:])), OWN_CHORD


class Grid:
    def __init__(self, box, cell):
        self.box = box
        self.cell = cell
        self.columns = max(1, math.ceil((box[3] - box[0]) / cell))
        self.rows = max(1, math.ceil((box[4] - box[1]) / cell))
        self.low = [box[5]] * (self.columns * self.rows)
        self.high = [box[5]] * (self.columns * self.rows)

    def centre(self, index):
        return (self.box[0] + (index % self.columns + 0.5) * self.cell,
                self.box[1] + (index // self.columns + 0.5) * self.cell)

    def lower(self, heights, a, b, radius, changed):
        """Lowers heights under a flat tool of radius from a to b (straight);
        adds the cells it lowers to changed."""
        box, cell = self.box, self.cell
        i0 = max(0, int((min(a[0], b[0]) - radius - box[0]) / cell) - 1)
        i1 = min(self.columns - 1, int((max(a[0], b[0]) + radius - box[0]) / cell) + 1)
        j0 = max(0, int((min(a[1], b[1]) - radius - box[1]) / cell) - 1)
        j1 = min(self.rows - 1, int((max(a[1], b[1]) + radius - box[1]) / cell) + 1)
        dx, dy = b[0] - a[0], b[1] - a[1]
        qa = dx * dx + dy * dy
        for j in range(j0, j1 + 1):
            y = box[1] + (j + 0.5) * cell
            for i in range(i0, i1 + 1):
                x = box[0] + (i + 0.5) * cell
                ex, ey = a[0] - x, a[1] - y
                qc = ex * ex + ey * ey - radius * radius
                if qa == 0.0:
                    if qc > 0.0:
                        continue
                    t0, t1 = 0.0, 1.0
                else:
                    qb = 2 * (dx * ex + dy * ey)
                    disc = qb * qb - 4 * qa * qc
                    if disc < 0.0:
                        continue
                    root = math.sqrt(disc)
                    t0 = max(0.0, (-qb - root) / (2 * qa))
                    t1 = min(1.0, (-qb + root) / (2 * qa))
                    if t0 > t1:
                        continue
                z = min(a[2] + (b[2] - a[2]) * t0, a[2] + (b[2] - a[2]) * t1)
                index = j * self.columns + i
                if z < heights[index] and heights[index] > box[2]:
                    heights[index] = max(box[2], z)
                    changed.add(index)

    def sweep(self, move):
        straight, stray = pieces(move)
        widened = move['radius'] + RIM + stray + (2 * CLI_CHORD if 'sweep' in move else 0.0)
        narrowed = move['radius'] - RIM - stray
        changed = set()
        for a, b in straight:
            self.lower(self.low, a, b, widened, changed)
            self.lower(self.high, a, b, narrowed, changed)
        return changed


def default_box(moves, pick=None):
    """The reference's box as the window fits it to the path. An arc that is
    a spiral by a hair may count its larger radius: pick min or max."""
    if not moves:
        return [0.0, 0.0, -10.0, 100.0, 100.0, 0.0]
    cutting = [m for m in moves if m['kind'] != 'rapid'] or moves
    lo, hi = cut.bounds_of(cutting, pick)
    every_lo, _ = cut.bounds_of(moves, pick)
    longer = max(hi[0] - lo[0], hi[1] - lo[1])
    widen = max(m['radius'] for m in moves) + max(1.0, longer / 10)
    bottom = every_lo[2] - 1 if every_lo[2] < 0 else -10.0
    return [lo[0] - widen, lo[1] - widen, bottom, hi[0] + widen, hi[1] + widen, 0.0]


# -- the comparison, as bounds ------------------------------------------------------
def expected(reference, moves, grid, tolerance):
    """What the CLI may print for a learner: (low, high) of every number, and
    the first move too deep as (earliest, latest or None)."""
    g_low, g_high = reference.low, reference.high
    first_possible = first_certain = None
    for index, move in enumerate(moves):
        changed = grid.sweep(move)
        if first_possible is None and any(grid.low[c] < g_high[c] - tolerance for c in changed):
            first_possible = index
        if any(grid.high[c] < g_low[c] - tolerance for c in changed):
            first_certain = index
            break
    if first_certain is not None:
        # The rest of the moves for the heights.
        for move in moves[first_certain + 1:]:
            grid.sweep(move)
    result = {'over': [0, 0], 'under': [0, 0], 'maxOver': [0.0, 0.0], 'maxUnder': [0.0, 0.0],
              'overVolume': [0.0, 0.0], 'underVolume': [0.0, 0.0]}
    area = reference.cell * reference.cell
    verdicts = []
    for h_low, h_high, gl, gh in zip(grid.low, grid.high, g_low, g_high):
        certain_over, may_over = h_high < gl - tolerance, h_low < gh - tolerance
        certain_under, may_under = h_low > gh + tolerance, h_high > gl + tolerance
        result['over'][0] += certain_over
        result['over'][1] += may_over
        result['under'][0] += certain_under
        result['under'][1] += may_under
        least_over, most_over = max(0.0, gl - h_high), max(0.0, gh - h_low)
        least_under, most_under = max(0.0, h_low - gh), max(0.0, h_high - gl)
        for key, least, most in (('maxOver', least_over, most_over), ('maxUnder', least_under, most_under)):
            result[key][0] = max(result[key][0], least)
            result[key][1] = max(result[key][1], most)
        result['overVolume'][0] += area * least_over
        result['overVolume'][1] += area * most_over
        result['underVolume'][0] += area * least_under
        result['underVolume'][1] += area * most_under
        exact = h_low == h_high and gl == gh
        verdict = 'over' if certain_over else 'under' if certain_under else \
            'within' if not may_over and not may_under else None
        verdicts.append((verdict, h_low if exact else None, gl - h_low if exact else None))
    return result, (first_possible, first_certain), verdicts


def between(value, bounds, scale=1.0):
    slack = NUMBER * max(1.0, abs(scale))
    return bounds[0] - slack <= value <= bounds[1] + slack


# -- the picture --------------------------------------------------------------------
def read_png(path):
    """Width, height and RGB rows of an 8-bit RGB PNG, without a library."""
    with open(path, 'rb') as f:
        data = f.read()
    if data[:8] != b'\x89PNG\r\n\x1a\n':
        raise ValueError('no PNG signature')
    pos, chunks = 8, []
    while pos < len(data):
        length, kind = struct.unpack('>I4s', data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if zlib.crc32(kind + body) != struct.unpack('>I', data[pos + 8 + length:pos + 12 + length])[0]:
            raise ValueError('bad CRC in %s' % kind)
        chunks.append((kind, body))
        pos += 12 + length
    width, height, depth, colour = struct.unpack('>IIBB', chunks[0][1][:10])
    if chunks[0][0] != b'IHDR' or depth != 8 or colour != 2 or chunks[-1][0] != b'IEND':
        raise ValueError('not an 8-bit RGB PNG')
    raw = zlib.decompress(b''.join(body for kind, body in chunks if kind == b'IDAT'))
    stride = width * 3
    rows, previous = [], bytearray(stride)
    for y in range(height):
        kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            left = line[i - 3] if i >= 3 else 0
            up = previous[i]
            corner = previous[i - 3] if i >= 3 else 0
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
    return width, height, rows


def check_picture(path, grid, verdicts):
    width, height, rows = read_png(path)
    if (width, height) != (grid.columns, grid.rows):
        return ['picture %dx%d, expected %dx%d' % (width, height, grid.columns, grid.rows)]
    diffs = []
    greys, reds = [], []
    for index, (verdict, height_here, over_by) in enumerate(verdicts):
        column, row = index % grid.columns, index // grid.columns
        pixel = rows[grid.rows - 1 - row][column * 3:column * 3 + 3]
        r, g, b = pixel
        looks = 'within' if r == g == b else 'over' if r == 255 and g == b < 255 else \
            'under' if b == 255 and r == g < 255 else 'other'
        if verdict is not None and looks != verdict:
            diffs.append('cell %d,%d: %s drawn as %s %s' % (column, row, verdict, looks, tuple(pixel)))
            break
        if verdict == 'within' and height_here is not None:
            greys.append((height_here, r))
        if verdict == 'over' and over_by is not None:
            reds.append((over_by, g))
    # Lighter where higher; the stronger red the deeper.
    greys.sort()
    if any(a[1] > b[1] for a, b in zip(greys, greys[1:]) if a[0] < b[0]):
        diffs.append('grey not lighter where higher')
    reds.sort()
    if any(a[1] < b[1] for a, b in zip(reds, reds[1:]) if a[0] < b[0]):
        diffs.append('red not stronger where deeper')
    return diffs


# -- one exercise ---------------------------------------------------------------------
def check_exercise(cli, seed, work, counts):
    rng = random.Random(seed)
    exercise = Exercise(rng)
    folder = os.path.join(work, 'klasse')
    os.makedirs(folder)
    reference_text = '\n'.join(exercise.lines('reference')) + '\n'
    reference_path = os.path.join(work, 'muster.nc')
    with open(reference_path, 'w', newline='\n') as f:
        f.write(reference_text)
    learners = []
    for number, fault in enumerate(FAULTS):
        name = '%02d_%s.nc' % (number, fault.replace(' ', '_'))
        text = '\n'.join(exercise.lines(fault)) + '\n'
        if fault == 'identical':
            text = reference_text
        with open(os.path.join(folder, name), 'w', newline='\n') as f:
            f.write(text)
        learners.append((name, fault, text))
    # A file that cannot be opened: a link to nothing.
    os.symlink(os.path.join(work, 'weg.nc'), os.path.join(folder, '99_missing.nc'))
    learners.append(('99_missing.nc', 'missing', ''))
    # A folder in the class folder is no learner: not recursive.
    os.mkdir(os.path.join(folder, '50_unterordner'))
    with open(os.path.join(folder, '50_unterordner', 'alt.nc'), 'w') as f:
        f.write(reference_text)
    learners.sort()

    tolerance = rng.choice(TOLERANCES)
    diameter = rng.choice(DIAMETERS)
    _, reference_moves, reference_error = cut_path(cli, reference_path, reference_text, diameter)
    if reference_error is not None:
        return ['reference has a cut error %s' % reference_error]
    box = default_box(reference_moves)
    inner, outer = default_box(reference_moves, min), default_box(reference_moves, max)
    given = rng.random() < 0.4
    if given:
        # A box of its own, smaller than the path on one side.
        box = [box[0] + 4, box[1] - 2, box[2] + 0.5, box[3] - 3, box[4], 0.0]
    cell = round(max(box[3] - box[0], box[4] - box[1]) / CELLS_ON_LONGER_SIDE, 3)
    options = ['--cell', num(cell), '--default-tool', 'flat:%s' % num(diameter)]
    if tolerance != 0.05 or rng.random() < 0.5:
        options += ['--tolerance', repr(tolerance)]
    if given:
        options += ['--stock', ','.join(repr(v) for v in box)]
    command = [cli, 'compare'] + options + [reference_path, folder]
    run = subprocess.run(command, capture_output=True)
    if run.returncode != 0:
        return ['compare failed %d: %s' % (run.returncode, run.stderr.decode())]
    records = [json.loads(line) for line in run.stdout.decode('utf-8').splitlines()]
    head = records[0]
    diffs = []
    if not given and head['event'] == 'reference':
        # Within the boxes of the arcs' smaller and larger radii; then the
        # CLI's own, so that cell centres meet.
        if all(min(a, b) - 1e-9 <= got <= max(a, b) + 1e-9
               for got, a, b in zip(head['min'] + head['max'], inner, outer)):
            box = head['min'] + head['max']
    reference = Grid(box, cell)
    if head['event'] != 'reference' or head['cell'] != cell or head['tolerance'] != tolerance or \
            (head['columns'], head['rows']) != (reference.columns, reference.rows) or \
            not all(abs(a - b) <= 1e-9 * max(1.0, abs(b)) for a, b in zip(head['min'] + head['max'], box)):
        diffs.append('reference record %s, expected box %s cell %s %dx%d'
                     % (json.dumps(head), box, cell, reference.columns, reference.rows))
        return diffs
    for move in reference_moves:
        reference.sweep(move)
    rows = records[1:]
    if [r['file'] for r in rows] != [folder + '/' + name for name, _, _ in learners]:
        return ['learners %s' % [r['file'] for r in rows]]
    verdicts_of = {}
    for (name, fault, text), got in zip(learners, rows):
        path = os.path.join(folder, name)
        load, moves, error = cut_path(cli, path, text, diameter) if fault != 'missing' else ({'result': -2}, [], None)
        bounds, (earliest, latest), verdicts = expected(reference, moves, Grid(box, cell), tolerance)
        verdicts_of[name] = verdicts
        counts[fault] += 1
        counts['cells'] += len(verdicts)
        counts['cells undecided'] += sum(1 for v in verdicts if v[0] is None)
        where = '%s (%s)' % (name, fault)
        if got['result'] != load['result'] or (fault != 'missing' and got['error'] != load['error']):
            diffs.append('%s: load %s %s, expected %s' % (where, got['result'], got['error'], load))
        if got['cutError'] != (error['message'] if error else None):
            diffs.append('%s: cutError %s, expected %s' % (where, got['cutError'], error))
        if got['cells'] != reference.columns * reference.rows or \
                got['within'] != got['cells'] - got['over'] - got['under']:
            diffs.append('%s: cells %s within %s' % (where, got['cells'], got['within']))
        for key, span in bounds.items():
            if not between(got[key], span, span[1]):
                diffs.append('%s: %s %s not within %s' % (where, key, got[key], span))
        first = got['firstOver']
        if earliest is None and first is not None:
            diffs.append('%s: firstOver %s, expected none' % (where, first))
        elif earliest is not None:
            if first is None:
                if latest is not None:
                    diffs.append('%s: no firstOver, expected move %d' % (where, latest))
            elif not (earliest <= first['move'] <= (latest if latest is not None else len(moves))) or \
                    first['line'] != moves[first['move']]['line']:
                diffs.append('%s: firstOver %s, expected a move from %s to %s' % (where, first, earliest, latest))
        if fault == 'identical' and (got['over'], got['under']) != (0, 0):
            diffs.append('%s: the reference itself differs from itself' % where)
    diffs += check_table(cli, options, reference_path, folder, rows)
    # The picture of one learner.
    name = learners[rng.randrange(len(learners))][0]
    picture = os.path.join(work, 'bild.png')
    run = subprocess.run([cli, 'compare'] + options + ['--png', picture, reference_path, os.path.join(folder, name)],
                         capture_output=True)
    if run.returncode != 0:
        diffs.append('compare --png failed %d' % run.returncode)
    else:
        diffs += ['%s: picture: %s' % (name, d) for d in check_picture(picture, reference, verdicts_of[name])]
    return diffs


def check_table(cli, options, reference_path, folder, rows):
    """--csv read back as a German spreadsheet would: the JSON's numbers."""
    run = subprocess.run([cli, 'compare', '--csv'] + options + [reference_path, folder], capture_output=True)
    data = run.stdout
    if run.returncode != 0 or not data.startswith(b'\xef\xbb\xbf'):
        return ['--csv: status %d, no byte-order mark' % run.returncode]
    text = data[3:].decode('utf-8')
    if text.replace('\r\n', '') .count('\n') or not text.endswith('\r\n'):
        return ['--csv: lines do not end in CR LF']
    table = list(csv.reader(io.StringIO(text, newline=''), delimiter=';'))
    header = ['Datei', 'Ladefehler', 'innerhalb %', 'zu tief (Zellen)', 'zu viel stehen (Zellen)',
              'max. zu tief', 'max. zu viel', 'zu tief ab Zeile']
    if table[0] != header or len(table) != len(rows) + 1:
        return ['--csv: header %s, %d lines for %d learners' % (table[0], len(table) - 1, len(rows))]
    diffs = []
    for line, got in zip(table[1:], rows):
        def number(field):
            return float(field.replace(',', '.'))
        problem = got['error'] if got['result'] != 1 else (got['cutError'] or '')
        share = 100.0 * got['within'] / got['cells']
        wanted = [got['file'], problem, share, got['over'], got['under'], got['maxOver'], got['maxUnder'],
                  got['firstOver']['line'] if got['firstOver'] else '']
        read = [line[0], line[1], number(line[2]), int(line[3]), int(line[4]), number(line[5]), number(line[6]),
                int(line[7]) if line[7] else '']
        if '.' in ''.join(line[2:]) or read[:2] != wanted[:2] or abs(read[2] - share) > 1e-12 * share or \
                read[3:] != wanted[3:]:
            diffs.append('--csv line %s, expected %s' % (line, wanted))
    return diffs


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('cli')
    parser.add_argument('--seed', type=int, default=1)
    parser.add_argument('--count', type=int, default=12)
    parser.add_argument('--keep')
    args = parser.parse_args()
    import collections
    counts = collections.Counter()
    failed = 0
    for seed in range(args.seed, args.seed + args.count):
        work = tempfile.mkdtemp(prefix='compare-reference-')
        try:
            diffs = check_exercise(args.cli, seed, work, counts)
        finally:
            if diffs_kept(args.keep, work, seed):
                pass
            else:
                shutil.rmtree(work, ignore_errors=True)
        if diffs:
            failed += 1
            print('seed %d:' % seed)
            for diff in diffs[:10]:
                print('  ' + diff)
    undecided = counts['cells undecided'] / max(1, counts['cells'])
    print('compare_reference: %d exercises, %d failed; learners %s; cells %d, %.3f %% on a tool rim'
          % (args.count, failed, dict((k, v) for k, v in counts.items() if not k.startswith('cells')),
             counts['cells'], 100 * undecided))
    return 1 if failed else 0


def diffs_kept(keep, work, seed):
    if not keep:
        return False
    target = os.path.join(keep, 'seed-%d' % seed)
    shutil.rmtree(target, ignore_errors=True)
    shutil.move(work, target)
    return True


if __name__ == '__main__':
    sys.exit(main())
