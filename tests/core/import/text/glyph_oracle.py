#!/usr/bin/python3
"""Glyph facts from fontTools, the oracle of the glyph converter's tests.

Usage: glyph_oracle.py FONT_FILE TEXT

One line per character of TEXT (UTF-8): the code point, the advance at an
em of 1024 (rounded half to even), the sum of the absolute areas of the
glyph's contours, the exact box of the outline (minX minY maxX maxY), the
number of straight segments, of quadratic and of cubic segments, all at
an em of 1024. A character without outline gives "none".
"""
import sys

from fontTools.pens.areaPen import AreaPen
from fontTools.pens.boundsPen import BoundsPen
from fontTools.pens.recordingPen import RecordingPen
from fontTools.ttLib import TTFont


def main():
    font = TTFont(sys.argv[1], fontNumber=0)
    scale = 1024.0 / font["head"].unitsPerEm
    cmap = font.getBestCmap()
    glyphs = font.getGlyphSet()
    hmtx = font["hmtx"]
    for ch in sys.argv[2]:
        name = cmap.get(ord(ch))
        rec = RecordingPen()
        if name is not None:
            glyphs[name].draw(rec)
        if not rec.value:
            print(f"{ord(ch)} none")
            continue
        area = 0.0
        lines = quads = cubics = 0
        contour = []
        start = cur = None
        for op, args in rec.value:
            contour.append((op, args))
            if op == "moveTo":
                start = cur = args[0]
            elif op == "lineTo":
                if args[0] != cur:
                    lines += 1
                cur = args[0]
            elif op == "qCurveTo":
                quads += len(args) - 1 if args[-1] is not None else len(args)
                if args[-1] is not None:
                    cur = args[-1]
            elif op == "curveTo":
                cubics += 1
                cur = args[-1]
            elif op in ("closePath", "endPath"):
                if cur != start and start is not None:
                    lines += 1
                pen = AreaPen()
                for o, a in contour:
                    getattr(pen, o)(*a)
                area += abs(pen.value)
                contour = []
        bounds = BoundsPen(glyphs)
        for op, args in rec.value:
            getattr(bounds, op)(*args)
        b = [v * scale for v in bounds.bounds]
        advance = round(hmtx[name][0] * scale)
        print(f"{ord(ch)} {advance} {area * scale * scale:.6f} {b[0]:.6f} {b[1]:.6f} "
              f"{b[2]:.6f} {b[3]:.6f} {lines} {quads} {cubics}")


main()
