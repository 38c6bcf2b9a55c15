#!/usr/bin/env python3
"""Check the layer order of the C++ sources: a file may include headers of its own folder and of
the folders below it, never of a folder above it or beside it.

    fortio  <  common  <  input, populations  <  opacity  <  driver

fortio/ is the Fortran I/O emulation (formatter, records, listing, the error type); common/ the run
state, element and opacity records, constants and numerical utilities; input/ and populations/
stand side by side (neither includes the other); opacity/ the opacity driver and its sources;
driver/ the program. tests/ and bench/ may include from any layer.

    tools/check_layers.py [ROOT]

Prints every include that breaks the order and exits 1; exits 0 when there is none.
"""
import os
import re
import sys

# Layer rank of each source folder, lowest first. Folders of equal rank may not include each other.
LAYERS = {"fortio": 0, "common": 1, "input": 2, "populations": 2, "opacity": 3, "driver": 4}
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"/]+)/[^"]*"')


def violations(root):
    """(file, line number, included path) of every include that breaks the order."""
    found = []
    for folder in sorted(LAYERS):
        top = os.path.join(root, folder)
        for dirpath, _, names in os.walk(top):
            for name in sorted(names):
                if not name.endswith((".h", ".cpp")):
                    continue
                path = os.path.join(dirpath, name)
                with open(path, encoding="utf-8") as f:
                    for n, line in enumerate(f, 1):
                        m = INCLUDE.match(line)
                        if not m or m.group(1) not in LAYERS or m.group(1) == folder:
                            continue
                        if LAYERS[m.group(1)] >= LAYERS[folder]:
                            rel = os.path.relpath(path, root)
                            found.append((rel, n, line.split('"')[1]))
    return found


def main(argv):
    root = argv[0] if argv else os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    bad = violations(root)
    for path, n, target in bad:
        print(f"{path}:{n}: includes {target} from a layer above or beside its own", file=sys.stderr)
    if bad:
        print("layer order: fortio < common < input, populations < opacity < driver",
              file=sys.stderr)
        return 1
    print("layers: no include goes upwards or sideways")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
