#!/usr/bin/env python3
"""Reads DXF files with ezdxf and prints what another reader sees in them.

Per file, lines of words (layer names have no spaces in the files tested):
  file PATH
  error TEXT                      (only when ezdxf could not read it)
  table NAME...                   (the layer table, in file order)
  entities COUNT LENGTH
  layer NAME COUNT LENGTH         (one per layer that has entities)
  end
Lengths are 3D for lines and radius times the angle span for arcs.

Usage: ezdxf_summary.py FILE...
"""
import math
import sys

import ezdxf
import ezdxf.math


def summary(path):
    print("file", path)
    try:
        doc = ezdxf.readfile(path)
    except Exception as e:  # any failure to read is the finding
        print("error", type(e).__name__, str(e).replace("\n", " "))
        print("end")
        return
    print("table", *[layer.dxf.name for layer in doc.layers])
    count, length, layers = 0, 0.0, {}
    for e in doc.modelspace():
        kind = e.dxftype()
        piece = 0.0
        if kind == "LINE":
            piece = math.dist(tuple(e.dxf.start), tuple(e.dxf.end))
        elif kind == "ARC":
            span = ezdxf.math.arc_angle_span_deg(e.dxf.start_angle, e.dxf.end_angle)
            piece = e.dxf.radius * math.radians(span)
        else:
            print("error unexpected entity", kind)
        count += 1
        length += piece
        n, l = layers.get(e.dxf.layer, (0, 0.0))
        layers[e.dxf.layer] = (n + 1, l + piece)
    print("entities", count, repr(length))
    for name, (n, l) in sorted(layers.items()):
        print("layer", name, n, repr(l))
    print("end")


def main():
    for path in sys.argv[1:]:
        summary(path)
    return 0


if __name__ == "__main__":
    sys.exit(main())
