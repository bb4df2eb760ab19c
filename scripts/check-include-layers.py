#!/usr/bin/env python3
"""Fails when a library includes a header of a library it does not build on.

The layers file, written by CMake at configure time from the libraries' link dependencies, has one
line per library: "Core/PluginSystem: Core/KernelInterface Core/Logger". A header belongs to
the folder whose include/ directory holds it; a library's sources and headers (its tests aside) may
include its own headers and those of the folders it links, directly or through them.
"""

import argparse
import re
import sys
from pathlib import Path

INCLUDE = re.compile(r'^\s*#\s*include\s*[<"]([^>"]+)[>"]')
SOURCE_SUFFIXES = {".h", ".hpp", ".cpp"}


def read_layers(path):
    layers = {}
    for line in Path(path).read_text().splitlines():
        if line.strip():
            folder, _, deps = line.partition(":")
            layers.setdefault(folder.strip(), set()).update(deps.split())
    return layers


def closure(layers, folder):
    reached, pending = set(), [folder]
    while pending:
        for dep in layers.get(pending.pop(), ()):
            if dep not in reached:
                reached.add(dep)
                pending.append(dep)
    return reached


def header_owners(root, layers):
    """The first component of an include path ("Logger" of "Logger/Log.h") names its folder."""
    owners = {}
    for folder in layers:
        include_dir = root / folder / "include"
        if include_dir.is_dir():
            for entry in include_dir.iterdir():
                owners[entry.name] = folder
    return owners


def violations(root, layers):
    owners = header_owners(root, layers)
    for folder in sorted(layers):
        allowed = closure(layers, folder) | {folder}
        for path in sorted((root / folder).rglob("*")):
            relative = path.relative_to(root / folder)
            if path.suffix not in SOURCE_SUFFIXES or "tests" in relative.parts:
                continue
            for number, line in enumerate(path.read_text(errors="replace").splitlines(), 1):
                match = INCLUDE.match(line)
                if not match:
                    continue
                owner = owners.get(match.group(1).split("/")[0])
                if owner and owner not in allowed:
                    yield (f"{path.relative_to(root)}:{number}: includes {match.group(1)} of "
                           f"{owner}, which {folder} does not build on")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--root", required=True, type=Path, help="source tree")
    parser.add_argument("--layers", required=True, help="layers file written by CMake")
    args = parser.parse_args()
    found = list(violations(args.root, read_layers(args.layers)))
    for message in found:
        print(message)
    print(f"{len(found)} include(s) against the layering")
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
