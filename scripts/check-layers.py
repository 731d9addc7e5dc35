#!/usr/bin/env python3
"""Fails when a source file includes a header from a folder above its own.

The folders form a one-way stack; a folder may include its own headers and those of the
folders below it. Folders on the same level (graphics, sound, net) do not see each other.
Header-only includes count like any other. Usage: check-layers.py [SOURCE_DIR]
"""
import pathlib
import re
import sys

# ORDER LAYERS: keep in step with the library links in CMakeLists.txt and docs/design.md.
LAYERS = {
    "base": 0,
    "script": 1,
    "runner": 2,
    "graphics": 3, "sound": 3, "net": 3,
    "world": 4,
    "debug": 5,
    "game": 6,
    "platform": 7,
    "tools": 8,
}
INCLUDE = re.compile(r'^\s*#\s*include\s*"([a-z0-9_]+)/[^"]+"', re.M)


def main() -> int:
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".")
    faults = []
    for folder, rank in LAYERS.items():
        for path in sorted((root / folder).rglob("*")):
            if path.suffix not in (".h", ".cpp"):
                continue
            for target in INCLUDE.findall(path.read_text(errors="replace")):
                if target == folder or target not in LAYERS:
                    continue
                if LAYERS[target] >= rank:
                    faults.append(f"{path.relative_to(root)}: includes {target}/, "
                                  f"which is not below {folder}/")
    for line in faults:
        print(line)
    if faults:
        print(f"{len(faults)} include(s) point up or sideways")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
