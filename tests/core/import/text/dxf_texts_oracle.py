#!/usr/bin/python3
"""The texts of a DXF drawing as ezdxf reads them, for the text import test.

Usage: dxf_texts_oracle.py DRAWING.dxf

One line per TEXT, ATTDEF or MTEXT of the model space and the blocks and
per ATTRIB of their inserts: "M" (model space) or "B" (a block), insertion X, Y, height, rotation in degrees (0 when absent), 1 when
the alignment point (MTEXT: text direction) has Y exactly -1, else 0, and
then the raw string (group 1).
"""
import sys

import ezdxf


def main():
    doc = ezdxf.readfile(sys.argv[1])
    spaces = [doc.modelspace()] + [b for b in doc.blocks]
    for number, space in enumerate(spaces):
        entities = []
        for e in space:
            entities.append(e)
            if e.dxftype() == "INSERT":
                entities.extend(e.attribs)
        for e in entities:
            kind = e.dxftype()
            if kind not in ("TEXT", "ATTRIB", "ATTDEF", "MTEXT"):
                continue
            if kind == "MTEXT":
                height = e.dxf.char_height
                text = e.text
                second = e.dxf.get("text_direction")
            else:
                height = e.dxf.height
                text = e.dxf.text
                second = e.dxf.get("align_point")
            vertical = 1 if second is not None and second[1] == -1.0 else 0
            rotation = e.dxf.get("rotation", 0.0)
            ins = e.dxf.insert
            print(f"{'M' if number == 0 else 'B'} {ins[0]!r} {ins[1]!r} {height!r} {rotation!r} {vertical} {text}")


main()
