#!/usr/bin/env python3
"""Checks that the layers depend one way.

The order is the order of the nimbrel_layer() lines in CMakeLists.txt, lowest
first. A source may include only headers of its own layer or a lower one, and
a layer's library may refer only to symbols of its own layer or lower ones.
Within a layer, a sealed folder (the install engine) includes nothing of its
layer outside itself: the frame and the screen above it register hooks.

Usage: check_layers.py SOURCE_DIR [BUILD_DIR]   (symbols are checked when a
build folder is given). Exit status 1 with one line per fault.
"""
import os
import re
import subprocess
import sys


def read_layers(src):
    text = open(os.path.join(src, "CMakeLists.txt")).read()
    layers = []
    for m in re.finditer(r"nimbrel_layer\((\w+)\s+DIRS\s+([^)]*?)(?:\s+LINKS\s[^)]*)?\)", text, re.S):
        layers.append((m.group(1), m.group(2).split()))
    return layers


def layer_of(path, dirs):
    """Rank of the layer that owns a source-relative path, or None."""
    best, rank = "", None
    for d, r in dirs.items():
        if (path == d or path.startswith(d + "/")) and len(d) > len(best):
            best, rank = d, r
    return rank


def sources(src, folder):
    for root, _, files in os.walk(os.path.join(src, folder)):
        for f in sorted(files):
            if f.endswith((".cpp", ".c", ".h")):
                yield os.path.join(root, f)


# Sealed folders: within the layer folder on the right, a source of the folder
# on the left includes only headers of its own folder.
SEALED = {"installer/update": "installer"}


def sealed_fault(rel, included):
    """Why a source at rel may not include the header `included`, or None."""
    for folder, layer_folder in SEALED.items():
        if not rel.startswith(folder + "/"):
            continue
        if included.startswith(layer_folder + "/") and not included.startswith(folder + "/"):
            return f"{rel} includes {included} from above {folder}/"
    return None


def check_includes(src, layers, dirs):
    faults = []
    for rank, (name, folders) in enumerate(layers):
        for path in (p for folder in folders for p in sources(src, folder)):
            rel = os.path.relpath(path, src)
            for n, line in enumerate(open(path, errors="replace"), 1):
                m = re.match(r'\s*#\s*include\s*"([^"]+)"', line)
                if not m:
                    continue
                other = layer_of(os.path.dirname(m.group(1)), dirs)
                if other is not None and other > rank:
                    faults.append(f"{rel}:{n} includes {m.group(1)} from the higher layer "
                                  f"{layers[other][0]}")
                sealed = sealed_fault(rel, m.group(1))
                if sealed:
                    faults.append(sealed.replace(rel, f"{rel}:{n}", 1))
    return faults


def symbols(lib, defined):
    args = ["nm", "-g", "--defined-only" if defined else "--undefined-only", lib]
    out = subprocess.run(args, capture_output=True, text=True, check=True).stdout
    names = set()
    for line in out.splitlines():
        parts = line.split()
        if len(parts) >= 2 and not line.endswith(":"):
            if defined and parts[-2] in ("W", "V", "u"):
                continue  # weak and inline definitions may stand in several layers
            names.add(parts[-1])
    return names


def check_symbols(build, layers):
    faults = []
    libs = [os.path.join(build, f"lib{name}.a") for name, _ in layers]
    present = [os.path.exists(l) and os.path.getsize(l) > 8 for l in libs]
    defined = [symbols(l, True) if ok else set() for l, ok in zip(libs, present)]
    for rank, (name, _) in enumerate(layers):
        if not present[rank]:
            continue
        wanted = symbols(libs[rank], False)
        for higher in range(rank + 1, len(layers)):
            for sym in sorted(wanted & defined[higher]):
                demangled = subprocess.run(["c++filt", sym], capture_output=True, text=True).stdout
                faults.append(f"{name} refers to {demangled.strip()} of the higher layer "
                              f"{layers[higher][0]}")
    return faults


def main():
    src = sys.argv[1]
    layers = read_layers(src)
    if not layers:
        print("no nimbrel_layer() lines in CMakeLists.txt")
        return 1
    dirs = {d: r for r, (_, folders) in enumerate(layers) for d in folders}
    faults = check_includes(src, layers, dirs)
    if len(sys.argv) > 2:
        faults += check_symbols(sys.argv[2], layers)
    for f in faults:
        print(f)
    print(f"{len(layers)} layers, {len(faults)} faults")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
