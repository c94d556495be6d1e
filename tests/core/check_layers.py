#!/usr/bin/env python3
"""Fails when a folder of the core includes a folder above it.

The core is built in layers that only point down (docs/ARCHITECTURE.md):
base services, geometry, then the readers, selection, editing, the
strategies, post and export, then the Document and its commands in shell/.
Every quoted #include of src/core/<folder>/... must name a file of its own
folder or of a folder in the table below. A folder missing from the table
fails too, so that a new subsystem gets its place on purpose.

Usage: check_layers.py SRC_CORE_DIR
"""
import os
import re
import sys

# folder -> folders it may include (besides itself)
ALLOWED = {
    "base": [],
    "geometry": ["base"],
    "import/dxf": ["base", "geometry"],
    "import/stl": ["base", "geometry"],
    "selection": ["base", "geometry"],
    "import/profiles": ["base", "geometry", "import/dxf", "selection"],
    "editing": ["base", "geometry", "import/dxf", "import/profiles", "selection"],
    "import/text": ["base", "geometry", "import/dxf", "import/profiles"],
    "import/gerber": ["base", "geometry", "import/profiles"],
    "toolpaths/offset": ["base", "geometry"],
    "toolpaths": ["base", "geometry", "selection", "editing", "toolpaths/offset"],
    "toolpaths/raster": ["base", "geometry", "import/stl", "toolpaths"],
    "toolpaths/isolation": ["base", "geometry", "selection", "toolpaths/offset", "toolpaths"],
    "post": ["base", "geometry", "toolpaths"],
    "export/dxf": ["base", "geometry", "import/dxf", "import/nc", "toolpaths"],
    "editor": ["base", "geometry", "toolpaths", "post"],
    # The NC display moves (their reader over the post's words comes with them).
    "import/nc": ["base", "geometry", "toolpaths", "post", "editor"],
    # The Document and its commands sit on top: they may include every
    # folder below (filled in after the table).
    "shell": [],
}

ALLOWED["shell"] = sorted(k for k in ALLOWED if k != "shell")

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')


def main():
    if len(sys.argv) != 2:
        print(__doc__.strip().splitlines()[-1], file=sys.stderr)
        return 2
    root = sys.argv[1]
    errors = []
    for folder, _, files in sorted(os.walk(root)):
        rel = os.path.relpath(folder, root).replace(os.sep, "/")
        sources = [f for f in sorted(files) if f.endswith((".h", ".cpp"))]
        if not sources or rel == ".":
            continue
        if rel not in ALLOWED:
            errors.append(f"{rel}/: folder has no place in the layer table of {sys.argv[0]}")
            continue
        allowed = set(ALLOWED[rel]) | {rel}
        for name in sources:
            path = os.path.join(folder, name)
            with open(path, encoding="utf-8", errors="replace") as f:
                for number, line in enumerate(f, 1):
                    m = INCLUDE.match(line)
                    if not m:
                        continue
                    target = m.group(1)
                    if "/" not in target:
                        continue  # a file beside this one
                    target_folder = os.path.dirname(target)
                    if target_folder not in allowed:
                        errors.append(f"src/core/{rel}/{name}:{number}: includes \"{target}\": "
                                      f"{rel}/ may include only {', '.join(sorted(allowed))}")
    for e in errors:
        print(e)
    if errors:
        print(f"{len(errors)} include(s) point up or sideways across the layers")
        return 1
    print("core layers: every include points down")
    return 0


if __name__ == "__main__":
    sys.exit(main())
