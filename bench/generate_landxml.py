#!/usr/bin/env python3
"""Writes a deterministic LandXML 1.2 file of about the requested size for benchmarks.

Several TIN surfaces on regular grids (faces with their `n` neighbours, a chosen fraction marked
i="1"), and plan features with curves with and without "rot" whose Center is a point on the arc.

    bench/generate_landxml.py --megabytes 100 --outside 0.3 out.xml
"""
import argparse
import math
import random


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


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('--megabytes', type=float, default=10)
    ap.add_argument('--outside', type=float, default=0.3, help='fraction of faces with i="1"')
    ap.add_argument('--surfaces', type=int, default=4)
    ap.add_argument('--curves', type=int, default=1000)
    ap.add_argument('--seed', type=int, default=1)
    ap.add_argument('output')
    args = ap.parse_args()
    rnd = random.Random(args.seed)
    # About 130 bytes per grid point (one point, two faces).
    points = args.megabytes * 1e6 / 130 / args.surfaces
    side = max(3, int(math.sqrt(points)))
    with open(args.output, 'w', encoding='utf-8', newline='\n') as out:
        out.write('<?xml version="1.0" encoding="UTF-8"?>\n'
                  '<LandXML xmlns="http://www.landxml.org/schema/LandXML-1.2" version="1.2">\n'
                  '\t<Units><Metric linearUnit="meter" areaUnit="squareMeter" volumeUnit="cubicMeter"/></Units>\n'
                  '\t<Surfaces>\n')
        for s in range(args.surfaces):
            surface(out, f'surface {s + 1}', side, args.outside, rnd, 100 + s)
        out.write('\t</Surfaces>\n')
        curves(out, args.curves, rnd)
        out.write('</LandXML>\n')


if __name__ == '__main__':
    main()
