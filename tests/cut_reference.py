#!/usr/bin/env python3
"""An independent computation of the cut path (`path --cut`): cutter radius
compensation and drilling cycles, worked out here from the program text and the
programmed path (`path`), then compared with what the CLI prints.

Programs are generated in a regular form (one block per line, words separated
by single spaces, a "%" first line), so no full reader is needed here.

Usage: cut_reference.py CLI [--seed N] [--count N] [--keep DIR]
       cut_reference.py CLI --same-as-path FILE...
"""
import argparse
import collections
import json
import math
import os
import random
import re
import subprocess
import sys
import tempfile

TOL = 1e-4
TURN_EPS = 0.001
PECK_CLEARANCE = 0.25
CYCLES = (81, 82, 83, 73, 85, 86, 89)
TOOL_COMMENT = re.compile(r'^\(WERKZEUG T(\d+) (SCHAFTFRAESER|KUGELFRAESER) D([-+0-9.eE]+)\)$')


class CutError(Exception):
    def __init__(self, message):
        super().__init__(message)
        self.message = message


def left_normal(t):
    return (-t[1], t[0])


def unit(v):
    n = math.hypot(v[0], v[1])
    return (v[0] / n, v[1] / n)


def cross(a, b):
    return a[0] * b[1] - a[1] * b[0]


def dot(a, b):
    return a[0] * b[0] + a[1] * b[1]


def norm_angle(a):
    """Into (-pi, pi]."""
    while a <= -math.pi:
        a += 2 * math.pi
    while a > math.pi:
        a -= 2 * math.pi
    return a


class Element:
    """A contour element in XY: a line or an arc (centre, signed sweep)."""

    def __init__(self, block, kind, p0, p1, z0, z1, center=None, sweep=None, flags=()):
        self.block = block
        self.kind = kind
        self.p0, self.p1 = p0, p1
        self.z0, self.z1 = z0, z1
        self.center = center
        self.sweep = sweep  # radians, signed
        self.flags = list(flags)
        self.is_arc = center is not None

    def radius(self):
        return math.hypot(self.p0[0] - self.center[0], self.p0[1] - self.center[1])

    def tangent(self, at_end):
        if not self.is_arc:
            return unit((self.p1[0] - self.p0[0], self.p1[1] - self.p0[1]))
        p = self.p1 if at_end else self.p0
        rad = (p[0] - self.center[0], p[1] - self.center[1])
        t = (-rad[1], rad[0]) if self.sweep > 0 else (rad[1], -rad[0])
        return unit(t)


class Reference:
    def __init__(self, blocks, path_moves, tools, default_diameter):
        self.blocks = blocks
        self.path_by_line = {}
        for m in path_moves:
            self.path_by_line.setdefault(m['line'], []).append(m)
        self.tools = tools
        self.default_diameter = default_diameter
        self.out = []
        self.error = None
        self.seen = collections.Counter()

    # -- output --------------------------------------------------------
    def emit(self, block, kind, a, b, flags, center=None, sweep=None):
        rec = {'word': block['word'], 'line': block['line'], 'kind': kind,
               'from': list(a), 'to': list(b), 'flags': flags}
        if center is not None:
            rec['plane'] = 'XY'
            rec['center'] = list(center)
            rec['sweep'] = math.degrees(sweep)
        self.out.append(rec)

    def emit_cycle(self, block, kind, a, b):
        if max(abs(a[i] - b[i]) for i in range(3)) == 0:
            return
        self.emit(block, kind, a, b, ['cycle'])

    # -- compensation --------------------------------------------------
    def offset_point(self, p, t):
        n = left_normal(t)
        s = self.side * self.r
        return (p[0] + s * n[0], p[1] + s * n[1])

    def offset_radius(self, el):
        # tool on the centre's side when the travel turns towards the tool
        inside = (el.sweep > 0) == (self.side > 0)
        return el.radius() - self.r if inside else el.radius() + self.r

    def flush_element(self, end_xy=None):
        """Writes the waiting element from its offset start to end_xy (its plain
        offset end when None), then the Z moves that waited behind it."""
        w = self.waiting
        if w is None:
            return
        el = w['el']
        if end_xy is None:
            end_xy = w['end']
        start = w['start']
        a = (start[0], start[1], w['z0'])
        b = (end_xy[0], end_xy[1], el.z1)
        flags = el.flags + ['compensated']
        if w.get('approach') or w.get('departure') or not el.is_arc:
            self.emit(el.block, el.kind, a, b, flags)
        else:
            c = el.center
            a0 = math.atan2(start[1] - c[1], start[0] - c[0])
            a1 = math.atan2(end_xy[1] - c[1], end_xy[0] - c[0])
            sweep = w['sweep'] + norm_angle(a1 - w['end_angle'])
            self.emit(el.block, el.kind, a, b, flags, (c[0], c[1], w['z0']), sweep)
            del a0
        self.cur = list(b)
        for zb, z in w['zmoves']:
            self.emit(zb['block'], zb['kind'], tuple(self.cur), (self.cur[0], self.cur[1], z),
                      zb['flags'] + ['compensated'])
            self.cur[2] = z
        self.waiting = None

    def start_waiting(self, el, start_xy, approach=False):
        w = {'el': el, 'start': start_xy, 'z0': el.z0,
             'zmoves': [], 'approach': approach}
        if approach:
            w['end'] = self.offset_point(el.p1, el.tangent(True))
        elif el.is_arc:
            w['end'] = self.offset_point(el.p1, el.tangent(True))
            c = el.center
            w['end_angle'] = math.atan2(w['end'][1] - c[1], w['end'][0] - c[0])
            w['sweep'] = el.sweep  # cut back at the start changes it below
        else:
            w['end'] = self.offset_point(el.p1, el.tangent(True))
        self.waiting = w

    def intersect(self, a, b, p):
        """Intersection of the offset curves of a and b nearest to p."""
        def curve(el, at_end):
            if not el.is_arc:
                t = el.tangent(True)
                q = self.offset_point(el.p1 if at_end else el.p0, t)
                return ('L', q, t)
            return ('C', el.center, self.offset_radius(el))
        ca, cb = curve(a, True), curve(b, False)
        pts = []
        if ca[0] == 'L' and cb[0] == 'L':
            d = cross(ca[2], cb[2])
            if abs(d) < 1e-15:
                return None
            w = (cb[1][0] - ca[1][0], cb[1][1] - ca[1][1])
            s = cross(w, cb[2]) / d
            pts = [(ca[1][0] + s * ca[2][0], ca[1][1] + s * ca[2][1])]
        elif ca[0] == 'C' and cb[0] == 'C':
            c0, r0, c1, r1 = ca[1], ca[2], cb[1], cb[2]
            dx, dy = c1[0] - c0[0], c1[1] - c0[1]
            d = math.hypot(dx, dy)
            if d < 1e-12 or d > r0 + r1 or d < abs(r0 - r1):
                return None
            x = (d * d + r0 * r0 - r1 * r1) / (2 * d)
            h = math.sqrt(max(r0 * r0 - x * x, 0.0))
            mx, my = c0[0] + x * dx / d, c0[1] + x * dy / d
            pts = [(mx - h * dy / d, my + h * dx / d), (mx + h * dy / d, my - h * dx / d)]
        else:
            line, circ = (ca, cb) if ca[0] == 'L' else (cb, ca)
            q, t = line[1], line[2]
            c, rr = circ[1], circ[2]
            f = (q[0] - c[0], q[1] - c[1])
            bb = dot(f, t)
            cc = dot(f, f) - rr * rr
            disc = bb * bb - cc
            if disc < 0:
                return None
            sq = math.sqrt(disc)
            pts = [(q[0] + s * t[0], q[1] + s * t[1]) for s in (-bb - sq, -bb + sq)]
        return min(pts, key=lambda x: math.hypot(x[0] - p[0], x[1] - p[1]))

    def join(self, el):
        """el follows the waiting element: corner, joint or cut back."""
        w = self.waiting
        a = w['el']
        p = el.p0
        ta, tb = a.tangent(True), el.tangent(False)
        theta = math.atan2(cross(ta, tb), dot(ta, tb))
        b_start = self.offset_point(p, tb)
        if w.get('approach'):
            # the approach runs to the offset start of the element after it
            self.flush_element(b_start)
            self.start_waiting(el, b_start)
            return
        if abs(theta) < TURN_EPS:
            self.seen['joint: straight'] += 1
            a_end = w['end']
            self.flush_element()
            if math.hypot(a_end[0] - b_start[0], a_end[1] - b_start[1]) > 1e-9:
                self.emit(el.block, 'linear', tuple(self.cur), (b_start[0], b_start[1], self.cur[2]),
                          ['compensated'])
                self.cur = [b_start[0], b_start[1], self.cur[2]]
            self.start_waiting(el, b_start)
            return
        outer = (theta < 0) if self.side > 0 else (theta > 0)
        if abs(theta) > math.pi - TURN_EPS:
            outer = True
        self.seen['joint: %s corner %s-%s' % ('outer' if outer else 'inner', 'arc' if a.is_arc else 'line',
                                              'arc' if el.is_arc else 'line')] += 1
        if outer:
            self.flush_element()
            v0 = (self.cur[0] - p[0], self.cur[1] - p[1])
            v1 = (b_start[0] - p[0], b_start[1] - p[1])
            ang = math.atan2(cross(v0, v1), dot(v0, v1))
            if self.side > 0:  # clockwise
                if ang > 0:
                    ang -= 2 * math.pi
                kind = 'cw'
            else:
                if ang < 0:
                    ang += 2 * math.pi
                kind = 'ccw'
            self.emit(el.block, kind, tuple(self.cur), (b_start[0], b_start[1], self.cur[2]),
                      ['compensated', 'corner'], (p[0], p[1], self.cur[2]), ang)
            self.cur = [b_start[0], b_start[1], self.cur[2]]
            self.start_waiting(el, b_start)
            return
        x = self.intersect(a, el, p)
        if x is None:
            raise CutError('Konturverletzung: das Werkzeug passt nicht in die Ecke')
        # a's offset must keep its direction (line) or sweep sign (arc)
        if not a.is_arc:
            s = w['start']
            if dot((x[0] - s[0], x[1] - s[1]), ta) <= 0:
                raise CutError('Konturverletzung: das Werkzeug passt nicht in die Ecke')
        else:
            new_sweep = w['sweep'] + norm_angle(
                math.atan2(x[1] - a.center[1], x[0] - a.center[0]) - w['end_angle'])
            if new_sweep == 0 or (new_sweep > 0) != (w['sweep'] > 0):
                raise CutError('Konturverletzung: das Werkzeug passt nicht in die Ecke')
        # and so must b's, from the cut-back start to its plain offset end
        b_end = self.offset_point(el.p1, el.tangent(True))
        if not el.is_arc:
            if dot((b_end[0] - x[0], b_end[1] - x[1]), tb) <= 0:
                raise CutError('Konturverletzung: das Werkzeug passt nicht in die Ecke')
        else:
            c = el.center
            a_x = math.atan2(x[1] - c[1], x[0] - c[0])
            a_s = math.atan2(b_start[1] - c[1], b_start[0] - c[0])
            nb = el.sweep - norm_angle(a_x - a_s)
            if nb == 0 or (nb > 0) != (el.sweep > 0):
                raise CutError('Konturverletzung: das Werkzeug passt nicht in die Ecke')
        self.flush_element(x)
        self.start_waiting(el, x)
        if el.is_arc:
            c = el.center
            a_s = math.atan2(b_start[1] - c[1], b_start[0] - c[0])
            self.waiting['sweep'] = el.sweep - norm_angle(math.atan2(x[1] - c[1], x[0] - c[0]) - a_s)

    def check_arc(self, el):
        if 'mismatch' in el.flags:
            raise CutError('Radiuskorrektur: Bogen mit ungleichen Radien')
        if self.offset_radius(el) <= 1e-9:
            raise CutError('Radiuskorrektur: Bogen kleiner als der Werkzeugradius')

    # -- the walk ----------------------------------------------------------
    def run(self):
        self.cur = None
        self.abs = True
        self.plane = 17
        self.side = 0
        self.r = 0.0
        self.pending_off = False  # G40 given, departure not yet made
        self.waiting = None
        self.tool = None
        self.cycle = None
        self.retract98 = True
        self.cz = self.cr = self.cq = self.ci = None
        self.motion = 0
        self.started = False
        self.tz = 0.0
        prog = [0.0, 0.0, 0.0]  # programmed point (XY follow the program; Z too)
        for blk in self.blocks:
            try:
                self.block(blk, prog)
            except CutError as e:
                self.error = {'word': blk['word'], 'line': blk['line'], 'message': e.message}
                if self.waiting is not None:
                    self.flush_element()
                return
        if self.waiting is not None:
            self.flush_element()

    def block(self, blk, prog):
        w = blk['words']
        g = [v for (l, v) in w if l == 'G']
        for v in g:
            if v == 90:
                self.abs = True
            elif v == 91:
                self.abs = False
            elif v in (17, 18, 19):
                self.plane = v
        if 'T' in blk['letters']:
            self.tool = int(blk['letters']['T'])
        motion_words = [v for v in g if v in (0, 1, 2, 3, 80) or v in CYCLES]
        comp_words = [v for v in g if v in (40, 41, 42)]
        ret_words = [v for v in g if v in (98, 99)]
        if ret_words:
            self.retract98 = ret_words[-1] == 98
        selected = None
        if motion_words:
            m = motion_words[-1]
            if m in CYCLES:
                selected = m
            else:
                self.cycle = None
                self.cz = self.cr = self.cq = None
                if m != 80:
                    self.motion = m
        L = blk['letters']
        has_xy = 'X' in L or 'Y' in L
        if self.cur is None:
            self.cur = [0.0, 0.0, 0.0]
        # compensation words
        if comp_words:
            c = comp_words[-1]
            if c == 40:
                if self.side != 0:
                    if self.waiting is None and not self.started:
                        self.side = 0
                    else:
                        self.pending_off = True
            else:
                side = 1 if c == 41 else -1
                if self.side != 0 and not self.pending_off and side != self.side:
                    raise CutError('Radiuskorrektur: Wechsel der Seite ohne G40')
                if self.side == 0 or self.pending_off:
                    if self.plane != 17:
                        raise CutError('Radiuskorrektur nur in der Ebene G17')
                    if self.pending_off:
                        self.flush_element()
                        self.pending_off = False
                    self.side = side
                    self.started = False
                    d = self.tools.get(self.tool, self.default_diameter) if self.tool is not None \
                        else self.default_diameter
                    self.r = d / 2.0
        if selected is not None or (self.cycle is not None and has_xy and not motion_words):
            self.drill(blk, selected, prog)
            return
        if self.cycle is not None and not motion_words:
            return  # a block without X and Y under a cycle moves nothing
        # a programmed move
        new = list(prog)
        for i, a in enumerate('XYZ'):
            if a in L:
                new[i] = L[a] if self.abs else prog[i] + L[a]
        z_target = self.tz
        if 'Z' in L:
            z_target = L['Z'] if self.abs else self.tz + L['Z']
        moved_xy = (new[0], new[1]) != (prog[0], prog[1])
        pm = self.path_by_line.get(blk['line'], [])
        old = list(prog)
        prog[:] = new
        prog[2] = z_target
        z_before = self.tz
        self.tz = z_target
        if not moved_xy and z_target == z_before and not pm:
            return
        kind = pm[0]['kind'] if pm else ('rapid' if self.motion == 0 else 'linear')
        flags = [f for f in (pm[0]['flags'] if pm else []) if f in ('assumed', 'approximated', 'mismatch', 'error')]
        is_arc = kind in ('cw', 'ccw') and 'error' not in flags
        if self.side != 0 and is_arc and pm[0].get('plane') != 'XY':
            raise CutError('Radiuskorrektur nur in der Ebene G17')
        if not moved_xy and not is_arc:
            self.zmove(blk, kind, flags, z_target)
            return
        center = sweep = None
        if is_arc:
            center = (pm[0]['center'][0], pm[0]['center'][1])
            sweep = math.radians(pm[0]['sweep'])
        el = Element(blk, kind, (old[0], old[1]), (new[0], new[1]),
                     z_before, z_target, center, sweep, flags)
        if self.side == 0:
            if is_arc:
                self.emit(blk, kind, tuple(self.cur), (new[0], new[1], z_target), flags,
                          (center[0], center[1], self.cur[2]), sweep)
            else:
                self.emit(blk, kind, tuple(self.cur), (new[0], new[1], z_target), flags)
            self.cur = [new[0], new[1], z_target]
            return
        if not self.started or self.pending_off:
            if is_arc:
                raise CutError('Radiuskorrektur: Anfahren nur mit einer Geraden')
        if self.pending_off:
            # departure: from the previous offset end to the programmed end
            self.flush_element()
            self.emit(blk, kind, tuple(self.cur), (new[0], new[1], z_target), flags + ['compensated'])
            self.cur = [new[0], new[1], z_target]
            self.side = 0
            self.pending_off = False
            return
        if not self.started:
            self.started = True
            self.start_waiting(el, (self.cur[0], self.cur[1]), approach=True)
            return
        if is_arc:
            self.check_arc(el)
        self.join(el)

    def zmove(self, blk, kind, flags, z):
        if self.side != 0 and self.waiting is not None:
            self.waiting['zmoves'].append(({'block': blk, 'kind': kind, 'flags': flags}, z))
            return
        f = flags + (['compensated'] if self.side != 0 else [])
        self.emit(blk, kind, tuple(self.cur), (self.cur[0], self.cur[1], z), f)
        self.cur[2] = z

    def drill(self, blk, selected, prog):
        L = blk['letters']
        if selected is not None:
            self.cycle = selected
            self.ci = self.tz
        if 'R' in L:
            self.cr = L['R'] if self.abs else self.ci + L['R']
        rlevel = self.cr if self.cr is not None else self.ci
        if 'Z' in L:
            self.cz = L['Z'] if self.abs else rlevel + L['Z']
        if 'Q' in L:
            self.cq = L['Q']
        if self.side != 0 and not self.pending_off:
            raise CutError('Bohrzyklus bei eingeschalteter Radiuskorrektur')
        if self.pending_off:
            # G40 is given: the cycle, not a line, leaves the contour
            self.flush_element()
            self.side = 0
            self.pending_off = False
        if self.cz is None:
            raise CutError('Bohrzyklus ohne Z')
        R, Z, I = rlevel, self.cz, self.ci
        if Z > R:
            raise CutError('Bohrzyklus: Z liegt \u00fcber R')
        if self.cycle in (83, 73) and (self.cq is None or not self.cq > 0):
            raise CutError('Bohrzyklus G83/G73 ohne Zustellung Q')
        top = max(I, R) if self.retract98 else R
        # where the tool stands (after a G40 without a departure: at the offset
        # end), for an axis left out and as the base under G91
        x, y = self.cur[0], self.cur[1]
        if 'X' in L:
            x = L['X'] if self.abs else self.cur[0] + L['X']
        if 'Y' in L:
            y = L['Y'] if self.abs else self.cur[1] + L['Y']
        c = list(self.cur)

        def go(kind, to):
            nonlocal c
            self.emit_cycle(blk, kind, tuple(c), tuple(to))
            c = list(to)
        if c[2] < R:
            go('rapid', (c[0], c[1], R))
        go('rapid', (x, y, c[2]))
        go('rapid', (x, y, R))
        cyc = self.cycle
        if cyc in (81, 82, 86):
            go('linear', (x, y, Z))
            go('rapid', (x, y, top))
        elif cyc in (85, 89):
            go('linear', (x, y, Z))
            go('linear', (x, y, R))
            if self.retract98 and I > R:
                go('rapid', (x, y, I))
        else:
            Q = self.cq
            d = max(R - Q, Z)
            go('linear', (x, y, d))
            while d > Z:
                if cyc == 83:
                    go('rapid', (x, y, R))
                    go('rapid', (x, y, min(d + PECK_CLEARANCE, R)))
                else:
                    go('rapid', (x, y, min(d + PECK_CLEARANCE, R)))
                d = max(d - Q, Z)
                go('linear', (x, y, d))
            go('rapid', (x, y, top))
        self.cur = c
        self.tz = c[2]
        prog[0], prog[1] = x, y
        prog[2] = c[2]


def parse_program(text):
    """Blocks of a generated program: one per line, words split by spaces."""
    blocks = []
    word = 0
    tools = {}
    for n, line in enumerate(text.split('\n'), start=1):
        if line == '' and n > 1:
            continue
        toks = line.split(' ') if line else []
        m = TOOL_COMMENT.match(line)
        if m:
            d = float(m.group(3))
            if d > 0:
                tools[int(m.group(1))] = d
            toks = [line, '']  # a comment line holds two words before its end
        word += len(toks)
        blk = {'line': n, 'word': word, 'words': [], 'letters': {}}
        word += 1  # the end-of-block word
        for t in toks:
            if t and t[0] in 'GXYZIJKRQTFSMP':
                v = float(t[1:])
                blk['words'].append((t[0], int(v) if t[0] == 'G' else v))
                if t[0] != 'G':
                    blk['letters'][t[0]] = v
        blocks.append(blk)
    return blocks, tools


def run_cli(cli, args, path):
    res = subprocess.run([cli] + args + [path], capture_output=True)
    return res.returncode, res.stdout.decode('utf-8'), res.stderr.decode('utf-8')


def bounds_of(moves, pick=None):
    """The box of every drawn point. An arc whose end radius is not quite its
    start radius is drawn as a spiral, so its extreme points lie between the
    two radii: pick (min or max) chooses one of them, else the start radius."""
    lo = [math.inf] * 3
    hi = [-math.inf] * 3

    def add(p):
        for i in range(3):
            lo[i] = min(lo[i], p[i])
            hi[i] = max(hi[i], p[i])
    for m in moves:
        add(m['from'])
        add(m['to'])
        if 'sweep' in m:
            c = m['center']
            r = math.hypot(m['from'][0] - c[0], m['from'][1] - c[1])
            if pick is not None:
                r = pick(r, math.hypot(m['to'][0] - c[0], m['to'][1] - c[1]))
            a0 = math.atan2(m['from'][1] - c[1], m['from'][0] - c[0])
            s = math.radians(m['sweep'])
            for k in range(-8, 9):
                ang = k * math.pi / 2
                rel = (ang - a0) / s if s != 0 else -1
                if 0 < rel < 1:
                    add((c[0] + r * math.cos(ang), c[1] + r * math.sin(ang), m['from'][2]))
    if not moves:
        return None, None
    return lo, hi


def within(got, inner, outer):
    if inner is None or got is None:
        return got == inner
    return all(min(t, l) - TOL <= g <= max(t, l) + TOL for g, t, l in zip(got, inner, outer))


def close(a, b):
    if isinstance(a, list):
        return isinstance(b, list) and len(a) == len(b) and all(close(x, y) for x, y in zip(a, b))
    if isinstance(a, (int, float)) and isinstance(b, (int, float)):
        return abs(a - b) <= TOL * max(1.0, abs(a))
    return a == b


def compare(expected, error, got_lines):
    """Differences between the reference and the CLI's records."""
    got = [json.loads(l) for l in got_lines if l]
    moves = [g for g in got if g.get('event') == 'move']
    diffs = []
    for i in range(max(len(moves), len(expected))):
        if i >= len(moves):
            diffs.append('move %d missing: expected %s' % (i, json.dumps(expected[i])))
            break
        if i >= len(expected):
            diffs.append('move %d extra: got %s' % (i, json.dumps(moves[i])))
            break
        e, g = expected[i], moves[i]
        for k in ('word', 'line', 'kind', 'from', 'to', 'flags', 'plane', 'center', 'sweep'):
            if not close(e.get(k), g.get(k)):
                diffs.append('move %d %s: expected %s got %s\n  expected %s\n  got      %s'
                             % (i, k, e.get(k), g.get(k), json.dumps(e), json.dumps(g)))
                break
        if diffs:
            break
    errs = [g for g in got if g.get('event') == 'cut-error']
    if error is None and errs:
        diffs.append('unexpected cut-error %s' % json.dumps(errs[0]))
    elif error is not None and not errs:
        diffs.append('missing cut-error %s' % json.dumps(error))
    elif error is not None and (errs[0]['word'], errs[0]['line'], errs[0]['message']) != \
            (error['word'], error['line'], error['message']):
        diffs.append('cut-error: expected %s got %s' % (json.dumps(error), json.dumps(errs[0])))
    final = [g for g in got if g.get('event') == 'path']
    if not final:
        diffs.append('no path record')
    else:
        f = final[0]
        lo, hi = bounds_of(expected)
        ilo, ihi = bounds_of(expected, min)
        olo, ohi = bounds_of(expected, max)
        arcs = sum(1 for m in expected if m['kind'] in ('cw', 'ccw') and 'error' not in m['flags'])
        if f['moves'] != len(expected) or f['arcs'] != arcs or not within(f['min'], ilo, olo) \
                or not within(f['max'], ihi, ohi):
            diffs.append('path record: expected moves %d arcs %d min %s max %s got %s'
                         % (len(expected), arcs, lo, hi, json.dumps(f)))
        if got[-1] is not f:
            diffs.append('path record is not last')
    return diffs


def check_program(cli, text, tool_args, tmpdir, name='prog.nc', stats=None):
    path = os.path.join(tmpdir, name)
    with open(path, 'w', newline='\n') as f:
        f.write(text)
    rc, plain, err = run_cli(cli, ['path'], path)
    if rc != 0:
        return ['path failed: %d %s' % (rc, err)]
    plain_lines = plain.splitlines()
    load = json.loads(plain_lines[0])
    if load['result'] != 1:
        return ['program does not load: %s' % plain_lines[0]]
    path_moves = [json.loads(l) for l in plain_lines if '"event":"move"' in l]
    blocks, comment_tools = parse_program(text)
    tools = dict(comment_tools)
    default = 6.0
    for i, a in enumerate(tool_args):
        if a == '--tool':
            t, shape_and_diameter = tool_args[i + 1].split('=')
            tools[int(t)] = float(shape_and_diameter.split(':')[1])
        elif a == '--default-tool':
            default = float(tool_args[i + 1].split(':')[1])
    # the word numbering of this script must be the loader's
    by_line = {b['line']: b['word'] for b in blocks}
    for m in path_moves:
        if by_line.get(m['line']) != m['word']:
            return ['word numbering: line %d word %d, here %s' % (m['line'], m['word'], by_line.get(m['line']))]
    ref = Reference(blocks, path_moves, tools, default)
    ref.run()
    if stats is not None:
        stats['programs'] += 1
        stats['error: ' + (ref.error['message'] if ref.error else 'none')] += 1
        stats.update(ref.seen)
        for m in ref.out:
            stats['move %s %s' % (m['kind'], '+'.join(m['flags']))] += 1
        for b in blocks:
            for (l, g) in b['words']:
                if l == 'G' and g in CYCLES + (98, 99, 91):
                    stats['G%d' % g] += 1
    rc, cut, err = run_cli(cli, ['path', '--cut'] + tool_args, path)
    if rc != 0:
        return ['path --cut failed: %d %s' % (rc, err)]
    cut_lines = cut.splitlines()
    if cut_lines[0] != plain_lines[0]:
        return ['load record differs']
    diffs = compare(ref.out, ref.error, cut_lines[1:])
    uses = any(g in (40, 41, 42, 73, 80, 81, 82, 83, 85, 86, 89, 98, 99)
               for b in blocks for (l, g) in b['words'] if l == 'G')
    if not uses and cut != plain:
        diffs.append('program without cut words: path --cut differs from path')
    return diffs


# -- the generator ---------------------------------------------------------
def num(v):
    s = ('%.4f' % v).rstrip('0').rstrip('.')
    return '0' if s in ('-0', '') else s


class Gen:
    def __init__(self, rng, comment_tools=True):
        self.rng = rng
        self.comment_tools = comment_tools
        self.lines = ['%']
        self.tool_args = []

    def add(self, *words):
        self.lines.append(' '.join(w for w in words if w))

    def tools(self):
        rng = self.rng
        diam = {}
        for t in rng.sample(range(1, 9), rng.randint(0, 3)):
            d = rng.choice([2, 4, 5, 6, 8, 10, 12.5])
            if rng.random() < 0.5 and self.comment_tools:
                self.add('(WERKZEUG T%d %s D%s)' % (t, rng.choice(['SCHAFTFRAESER', 'KUGELFRAESER']), num(d)))
            else:
                self.tool_args += ['--tool', '%d=%s:%s' % (t, rng.choice(['flat', 'ball']), num(d))]
            diam[t] = d
        if rng.random() < 0.3:
            self.tool_args += ['--default-tool', 'flat:%s' % num(rng.choice([3, 5, 8]))]
        return list(diam) + [rng.randint(1, 9)]

    def contour(self, closed):
        """Lines and arcs (I/J, sometimes R) about a centre, with random turns."""
        rng = self.rng
        pts = []
        n = rng.randint(3, 7)
        cx, cy = rng.uniform(-20, 20), rng.uniform(-20, 20)
        base = rng.uniform(15, 40)
        angles = sorted(rng.uniform(0, 2 * math.pi) for _ in range(n))
        if rng.random() < 0.5:
            angles.reverse()
        for a in angles:
            rad = base * rng.uniform(0.6, 1.2)
            pts.append((round(cx + rad * math.cos(a), 3), round(cy + rad * math.sin(a), 3)))
        if closed:
            pts.append(pts[0])
        return pts

    def element(self, p0, p1, abs_mode):
        rng = self.rng
        words = []
        kind = rng.random()
        dx, dy = p1[0] - p0[0], p1[1] - p0[1]
        self.last_tangent = None
        if kind < 0.55:
            g = 'G1'
            extra = []
            if dx or dy:
                self.last_tangent = unit((dx, dy))
        else:
            g = rng.choice(['G2', 'G3'])
            chord = math.hypot(dx, dy)
            if rng.random() < 0.2:
                # a tangent-ish bulge: radius a little above half the chord, by R
                rr = chord / 2 * rng.uniform(1.05, 3)
                extra = ['R' + num(rr if rng.random() < 0.8 else -rr)]
            else:
                # centre on the chord's bisector
                h = rng.uniform(-1.5, 1.5) * chord
                mx, my = (p0[0] + p1[0]) / 2, (p0[1] + p1[1]) / 2
                nx, ny = -dy / chord, dx / chord
                cx, cy = mx + h * nx, my + h * ny
                cx, cy = round(cx, 3), round(cy, 3)
                if rng.random() < 0.05:
                    cx += 0.5  # a mismatch
                extra = ['I' + num(cx - p0[0]), 'J' + num(cy - p0[1])]
                rad = (p1[0] - cx, p1[1] - cy)
                if rad != (0, 0):
                    self.last_tangent = unit((-rad[1], rad[0]) if g == 'G3' else (rad[1], -rad[0]))
        if abs_mode:
            words += ['X' + num(p1[0]), 'Y' + num(p1[1])]
        else:
            words += ['X' + num(dx), 'Y' + num(dy)]
        return [g] + words + extra

    def tangent_element(self, p0, abs_mode):
        """A line or an arc that leaves p0 in the direction the last element
        arrived in (a joint without a corner)."""
        rng = self.rng
        t = self.last_tangent
        if rng.random() < 0.4:
            ln = rng.uniform(3, 15)
            p1 = (round(p0[0] + ln * t[0], 3), round(p0[1] + ln * t[1], 3))
            self.add('G1', *self.xy(p1, abs_mode, p0))
            self.last_tangent = unit((p1[0] - p0[0], p1[1] - p0[1]))
            return p1
        h = rng.choice([-1, 1]) * rng.uniform(4, 25)
        n = left_normal(t)
        c = (round(p0[0] + h * n[0], 3), round(p0[1] + h * n[1], 3))
        ccw = h > 0
        a0 = math.atan2(p0[1] - c[1], p0[0] - c[0])
        sweep = math.radians(rng.uniform(15, 150)) * (1 if ccw else -1)
        rr = math.hypot(p0[0] - c[0], p0[1] - c[1])
        p1 = (round(c[0] + rr * math.cos(a0 + sweep), 3), round(c[1] + rr * math.sin(a0 + sweep), 3))
        self.add('G3' if ccw else 'G2', *self.xy(p1, abs_mode, p0),
                 'I' + num(c[0] - p0[0]), 'J' + num(c[1] - p0[1]))
        rad = (p1[0] - c[0], p1[1] - c[1])
        self.last_tangent = unit((-rad[1], rad[0]) if ccw else (rad[1], -rad[0]))
        return p1

    def compensated(self, tool_choices, abs_mode, z):
        rng = self.rng
        side = rng.choice(['G41', 'G42'])
        t = rng.choice(tool_choices)
        self.add('T%d' % t)
        pts = self.contour(rng.random() < 0.7)
        cur = self.cur
        # approach
        first = pts[0]
        if rng.random() < 0.15:
            self.add(side)
            side_word = ''
        else:
            side_word = side
        if rng.random() < 0.05:
            # an arc approach: refused
            self.add(side_word, 'G2', *self.xy(first, abs_mode), 'I' + num((first[0] - cur[0]) / 2),
                     'J' + num((first[1] - cur[1]) / 2))
        else:
            self.add(side_word, 'G1', *self.xy(first, abs_mode))
        self.cur = first
        self.last_tangent = None
        if rng.random() < 0.5:
            self.add('G1', 'Z' + num(z) if abs_mode else 'Z' + num(z - self.z))
            self.z = z
        prev = first
        for p in pts[1:]:
            if rng.random() < 0.1:
                # a reversal: out along a line and straight back
                q = (round(prev[0] + (p[0] - prev[0]) * 0.3, 3), round(prev[1] + (p[1] - prev[1]) * 0.3, 3))
                self.add('G1', *self.xy(q, abs_mode, prev))
                self.add('G1', *self.xy(prev, abs_mode, q))
                self.last_tangent = None
                self.cur = prev
            for _ in range(2):
                if self.last_tangent is None or rng.random() > 0.3:
                    break
                prev = self.tangent_element(prev, abs_mode)
                self.cur = prev
            if rng.random() < 0.04:
                # a full circle back to where it starts
                a = rng.uniform(0, 2 * math.pi)
                rr = rng.uniform(2, 15)
                self.add(rng.choice(['G2', 'G3']), *self.xy(prev, abs_mode, prev),
                         'I' + num(rr * math.cos(a)), 'J' + num(rr * math.sin(a)))
                self.last_tangent = None
            if rng.random() < 0.1:
                dz = rng.choice([-1, 1, -0.5])
                self.add('G1', ('Z' + num(self.z + dz)) if abs_mode else 'Z' + num(dz))
                self.z += dz
            if rng.random() < 0.015:
                self.add(rng.choice(['G41', 'G42']))  # a side change, or the same side again
            if rng.random() < 0.01:
                self.add('G81', 'Z-3', 'R1')  # a cycle under compensation
            self.add(*self.element(prev, p, abs_mode))
            self.cur = p
            prev = p
            if rng.random() < 0.1:
                # straight on along the same line: a joint of no length
                if self.last_tangent is not None:
                    prev = self.tangent_element(prev, abs_mode) if rng.random() < 0.5 else prev
                    self.cur = prev
        # departure
        r = rng.random()
        end = (round(prev[0] + rng.uniform(-30, 30), 3), round(prev[1] + rng.uniform(-30, 30), 3))
        if r < 0.07:
            pass  # compensation stays on to the end of the program, or the next G41
        elif r < 0.14:
            self.add('G40')  # off, the departure left to what follows (a new approach, a cycle)
        elif r < 0.25:
            self.add('G40')
            self.add('G1', *self.xy(end, abs_mode))
            self.cur = end
        elif r < 0.3:
            self.add('G40', 'G3', *self.xy(end, abs_mode), 'I' + num((end[0] - prev[0]) / 2),
                     'J' + num((end[1] - prev[1]) / 2))
            self.cur = end
        else:
            self.add('G40', rng.choice(['G0', 'G1']), *self.xy(end, abs_mode))
            self.cur = end

    def rel(self, words, abs_mode):
        return words

    def xy(self, p, abs_mode, frm=None):
        frm = frm if frm is not None else self.cur
        if abs_mode:
            return ['X' + num(p[0]), 'Y' + num(p[1])]
        return ['X' + num(p[0] - frm[0]), 'Y' + num(p[1] - frm[1])]

    def cycles(self, abs_mode):
        rng = self.rng
        q = lambda lo, hi: rng.randint(int(lo * 4), int(hi * 4)) / 4.0
        cyc = rng.choice(CYCLES)
        if rng.random() < 0.5:
            self.add(rng.choice(['G98', 'G99']))
        if rng.random() < 0.25:
            # the tool low, perhaps below R: up to R first
            low = q(-3, 4)
            self.add('G0', 'Z' + num(low if abs_mode else low - self.z))
            self.z = low
        init = self.z
        r_abs = q(-2, 8)
        z_abs = r_abs - q(0.25, 12)
        if rng.random() < 0.03:
            z_abs = r_abs + 1  # Z above R
        hole = (round(rng.uniform(-50, 50), 2), round(rng.uniform(-50, 50), 2))
        words = ['G%d' % cyc] + self.xy(hole, abs_mode)
        give_r = rng.random() < 0.85
        if not give_r:
            r_abs = init
            z_abs = min(z_abs, init - q(0.25, 5))
        if rng.random() > 0.03:
            words.append('Z' + num(z_abs if abs_mode else z_abs - r_abs))
        if give_r:
            words.append('R' + num(r_abs if abs_mode else r_abs - init))
        lead = []
        if cyc in (83, 73) and rng.random() > 0.05:
            lead = ['Q' + num(q(0.5, 4) if rng.random() > 0.03 else 0)]
        elif rng.random() < 0.2:
            lead = ['P' + str(rng.randint(1, 900))]
        self.add(*(lead + words))
        self.z_abs = z_abs
        self.cur = hole
        for _ in range(rng.randint(0, 4)):
            nxt = (round(rng.uniform(-50, 50), 2), round(rng.uniform(-50, 50), 2))
            r = rng.random()
            if r < 0.4:
                self.add(*self.xy(nxt, abs_mode))
            elif r < 0.55:
                self.add('X' + num(nxt[0] if abs_mode else nxt[0] - self.cur[0]))
                nxt = (nxt[0], self.cur[1])
            elif r < 0.65:
                self.add(rng.choice(['G98', 'G99']), *self.xy(nxt, abs_mode))
            elif r < 0.75:
                self.add('F200')  # no X and Y: nothing
                nxt = self.cur
            elif r < 0.85 and abs_mode:
                self.add(*self.xy(nxt, abs_mode), 'Z' + num(self.z_abs - q(0, 2)))
            elif r < 0.92:
                # a new R and Z for this hole and the later ones
                r2 = q(-2, 6)
                z2 = r2 - q(0.25, 8)
                self.add(*self.xy(nxt, abs_mode), 'Z' + num(z2 if abs_mode else z2 - r2),
                         'R' + num(r2 if abs_mode else r2 - init))
                self.z_abs = z2
            elif cyc in (83, 73):
                self.add('Q' + num(q(0.25, 3)), *self.xy(nxt, abs_mode))
            elif r < 0.96:
                # another cycle selected without G80: Z, R and Q stay
                cyc = rng.choice(CYCLES)
                lead = ['Q' + num(q(0.5, 3))] if cyc in (83, 73) and rng.random() < 0.7 else []
                self.add(*(lead + ['G%d' % cyc] + self.xy(nxt, abs_mode)))
            else:
                self.add(*self.xy(nxt, abs_mode))
            self.cur = nxt
        if rng.random() < 0.8:
            self.add(rng.choice(['G80', 'G80', 'G0', 'G1']))
        self.z = None

    def program(self):
        rng = self.rng
        tool_choices = self.tools()
        abs_mode = rng.random() < 0.7
        self.cur = (0.0, 0.0)
        self.z = 10.0
        self.add('G90', 'G17', 'G0', 'X0', 'Y0', 'Z10')
        if not abs_mode:
            self.add('G91')
        for _ in range(rng.randint(1, 4)):
            r = rng.random()
            if r < 0.05:
                self.add('G18')
                self.add('G41', 'G1', *self.xy((5, 5), abs_mode))
                return
            if self.z is None:
                self.add('G0', 'Z' + num(10) if abs_mode else 'Z5')
                self.z = 10.0 if abs_mode else None
                if self.z is None:
                    return
            if r < 0.55:
                self.compensated(tool_choices, abs_mode, -rng.choice([1, 2, 3.5]))
                if rng.random() < 0.3:
                    self.add('G0', 'Z' + num(10) if abs_mode else 'Z3')
                    self.z = 10.0 if abs_mode else self.z + 3
            else:
                if rng.random() < 0.3:
                    p = (round(rng.uniform(-40, 40), 1), round(rng.uniform(-40, 40), 1))
                    self.add('G0', *self.xy(p, abs_mode))
                    self.cur = p
                self.cycles(abs_mode)
        self.add('M30')


def generated(cli, seed, count, keep, comment_tools, show_stats=False):
    stats = collections.Counter()
    failures = 0
    tried = 0
    with tempfile.TemporaryDirectory() as tmp:
        for k in range(count):
            rng = random.Random(seed * 1000003 + k)
            g = Gen(rng, comment_tools)
            g.program()
            text = '\n'.join(g.lines) + '\n'
            diffs = check_program(cli, text, g.tool_args, tmp, stats=stats)
            tried += 1
            if diffs and not diffs[0].startswith('program does not load'):
                failures += 1
                if failures <= 10:
                    print('--- program %d (seed %d), options %s' % (k, seed, ' '.join(g.tool_args)))
                    print(text, end='')
                    for d in diffs:
                        print('  ' + d)
                if keep:
                    with open(os.path.join(keep, 'fail_%d.nc' % k), 'w') as f:
                        f.write(text)
                    with open(os.path.join(keep, 'fail_%d.args' % k), 'w') as f:
                        f.write(' '.join(g.tool_args) + '\n')
    print('%d programs, %d differ' % (tried, failures))
    if show_stats:
        for k in sorted(stats):
            print('  %6d %s' % (stats[k], k))
    return failures == 0


CUT_WORDS = re.compile(r'G0*(40|41|42|73|80|81|82|83|85|86|89|98|99)(?![0-9.])', re.I)


def same_as_path(cli, files):
    bad = 0
    skipped = 0
    for f in files:
        with open(f, 'rb') as h:
            text = h.read().decode('latin-1')
        if CUT_WORDS.search(text):
            skipped += 1
            continue
        rc1, a, _ = run_cli(cli, ['path'], f)
        rc2, b, _ = run_cli(cli, ['path', '--cut'], f)
        if rc1 != rc2 or a != b:
            bad += 1
            print('DIFFERS: %s' % f)
    print('%d files, %d with cut words skipped, %d differ' % (len(files), skipped, bad))
    return bad == 0


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('cli')
    ap.add_argument('--seed', type=int, default=1)
    ap.add_argument('--count', type=int, default=200)
    ap.add_argument('--keep')
    ap.add_argument('--stats', action='store_true', help='what the generated programs exercised')
    ap.add_argument('--no-comment-tools', action='store_true',
                    help='give every tool by --tool, none by a (WERKZEUG ...) comment')
    ap.add_argument('--same-as-path', nargs='*')
    ap.add_argument('--program')
    ap.add_argument('--args', default='')
    a = ap.parse_args()
    if a.same_as_path is not None:
        return 0 if same_as_path(a.cli, a.same_as_path) else 1
    if a.program:
        with tempfile.TemporaryDirectory() as tmp:
            with open(a.program) as f:
                diffs = check_program(a.cli, f.read(), a.args.split(), tmp)
            for d in diffs:
                print(d)
            return 1 if diffs else 0
    return 0 if generated(a.cli, a.seed, a.count, a.keep, not a.no_comment_tools, a.stats) else 1


if __name__ == '__main__':
    sys.exit(main())
