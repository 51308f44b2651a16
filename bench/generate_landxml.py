#!/usr/bin/env python3
"""Writes a deterministic LandXML 1.2 file of about the requested size for benchmarks.

Several TIN surfaces on regular grids (faces with their `n` neighbours, a chosen fraction marked
i="1"), and plan features with curves with and without "rot" whose Center is a point on the arc.

    bench/generate_landxml.py --megabytes 100 --outside 0.3 out.xml
"""
import argparse
import io
import math
import random


HEADER = ('<?xml version="1.0" encoding="UTF-8"?>\n'
          '<LandXML xmlns="http://www.landxml.org/schema/LandXML-1.2" version="1.2">\n'
          '\t<Units><Metric linearUnit="meter" areaUnit="squareMeter" volumeUnit="cubicMeter"/></Units>\n'
          '\t<Surfaces>\n')
SURFACES_END = '\t</Surfaces>\n'
FOOTER = '</LandXML>\n'


def surface(out, name, side, outside, rnd, z0):
    out.write(f'\t\t<Surface name="{name}">\n\t\t\t<Definition surfType="TIN">\n\t\t\t\t<Pnts>\n')
    for r in range(side):
        for c in range(side):
            out.write(f'\t\t\t\t\t<P id="{r * side + c + 1}">{6700000 + r * 1.25:.3f} '
                      f'{420000 + c * 1.25:.3f} {z0 + rnd.random() * 3:.3f}</P>\n')
    out.write('\t\t\t\t</Pnts>\n\t\t\t\t<Faces>\n')
    cells = side - 1
    for r in range(cells):
        for c in range(cells):
            a, b = r * side + c + 1, r * side + c + 2
            d, e = a + side, b + side
            # Two triangles per cell; face numbers are 1-based positions in Faces.
            f1 = 2 * (r * cells + c) + 1
            f2 = f1 + 1
            below = f1 - 2 * cells + 1 if r > 0 else 0      # (a, e, d) of the cell below
            left = f1 - 2 if c > 0 else 0                     # (a, b, e) of the cell to the left
            above = f2 + 2 * cells - 1 if r < cells - 1 else 0  # (a, b, e) of the cell above
            right = f1 + 3 if c < cells - 1 else 0           # (a, e, d) of the cell to the right
            for face, verts, nb in ((f1, (a, b, e), (right, f2, below)),
                                    (f2, (a, e, d), (above, left, f1))):
                i = ' i="1"' if rnd.random() < outside else ''
                out.write(f'\t\t\t\t\t<F{i} n="{nb[0]} {nb[1]} {nb[2]}">{verts[0]} {verts[1]} {verts[2]}</F>\n')
    out.write('\t\t\t\t</Faces>\n\t\t\t</Definition>\n\t\t</Surface>\n')


def curves(out, count, rnd):
    out.write('\t<PlanFeatures name="generated">\n')
    for k in range(count):
        cp, cq, radius = 6700000 + k * 30.0, 420000 + k * 20.0, 5 + rnd.random() * 50
        a0 = rnd.random() * 2 * math.pi
        sweep = (0.2 + rnd.random()) * (1 if k % 2 else -1)
        pts = [(cp + radius * math.cos(a0 + t * sweep), cq + radius * math.sin(a0 + t * sweep))
               for t in (0, 0.5, 1)]
        rot = '' if k % 3 else f' rot="{"cw" if sweep > 0 else "ccw"}"'
        out.write(f'\t\t<PlanFeature name="pf{k}">\n\t\t\t<CoordGeom>\n')
        out.write(f'\t\t\t\t<Line><Start>{pts[0][0] - 5:.4f} {pts[0][1]:.4f}</Start>'
                  f'<End>{pts[0][0]:.4f} {pts[0][1]:.4f}</End></Line>\n')
        out.write(f'\t\t\t\t<Curve{rot} radius="{radius:.6f}">\n')
        for tag, (p, q) in zip(("Start", "Center", "End"), pts):
            out.write(f'\t\t\t\t\t<{tag}>{p:.6f} {q:.6f} 0</{tag}>\n')
        out.write('\t\t\t\t</Curve>\n\t\t\t</CoordGeom>\n\t\t</PlanFeature>\n')
    out.write('\t</PlanFeatures>\n')


def digit_total(n):
    """Decimal digits needed to write every integer from 1 to n."""
    total, width, low = 0, 1, 1
    while low <= n:
        high = min(n, low * 10 - 1)
        total += (high - low + 1) * width
        width, low = width + 1, low * 10
    return total


def surface_bytes(index, side, outside):
    """The expected size of one surface() on a side x side grid: exact but for the share of
    faces that carry i="1" and the few neighbour references that are 0 at the grid's edge."""
    points = side * side
    cells = side - 1
    faces = 2 * cells * cells
    name = f'surface {index + 1}'
    head = len(f'\t\t<Surface name="{name}">\n\t\t\t<Definition surfType="TIN">\n\t\t\t\t<Pnts>\n')
    middle = len('\t\t\t\t</Pnts>\n\t\t\t\t<Faces>\n')
    tail = len('\t\t\t\t</Faces>\n\t\t\t</Definition>\n\t\t</Surface>\n')
    z = len(f'{100 + index + 1.5:.3f}')
    # Five tabs, <P id="">, three coordinates with blanks, </P> and the newline.
    point_fixed = 5 + 9 + len('6700000.000') + 1 + len('420000.000') + 1 + z + 5
    point_total = points * point_fixed + digit_total(points)
    # Five tabs, <F n="">, four blanks, </F> and the newline; i="1" on a share of the faces.
    face_fixed = 5 + 8 + 4 + 5 + 7 * outside
    # Each face names three corner points and three neighbours, all spread over their ranges.
    corner_digits = 3 * digit_total(points) / points
    neighbour_digits = 3 * digit_total(faces) / faces if faces else 0
    face_total = faces * (face_fixed + corner_digits + neighbour_digits)
    return head + point_total + middle + face_total + tail


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('--megabytes', type=float, default=10)
    ap.add_argument('--outside', type=float, default=0.3, help='fraction of faces with i="1"')
    ap.add_argument('--surfaces', type=int, default=4)
    ap.add_argument('--curves', type=int, default=1000)
    ap.add_argument('--seed', type=int, default=1)
    ap.add_argument('output')
    args = ap.parse_args()
    # The plan features take what their count asks for; the surfaces fill the rest of the size.
    sample = io.StringIO()
    curves(sample, args.curves, random.Random(args.seed))
    target = args.megabytes * 1e6 - len(HEADER) - len(SURFACES_END) - len(sample.getvalue()) - len(FOOTER)

    def total(side):
        return sum(surface_bytes(s, side, args.outside) for s in range(args.surfaces))

    # The grid side whose size comes closest to the target.
    low, high = 3, 4
    while total(high) < target:
        low, high = high, high * 2
    while high - low > 1:
        mid = (low + high) // 2
        low, high = (mid, high) if total(mid) <= target else (low, mid)
    side = low if abs(total(low) - target) <= abs(total(high) - target) else high
    rnd = random.Random(args.seed)
    with open(args.output, 'w', encoding='utf-8', newline='\n') as out:
        out.write(HEADER)
        for s in range(args.surfaces):
            surface(out, f'surface {s + 1}', side, args.outside, rnd, 100 + s)
        out.write(SURFACES_END)
        curves(out, args.curves, rnd)
        out.write(FOOTER)


if __name__ == '__main__':
    main()
