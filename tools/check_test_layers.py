#!/usr/bin/env python3
"""Checks that each test program links no layer above the one it tests.

tests/<subsystem>/.../<module>_test.cpp builds the program
<subsystem>[_<subfolder>...]_<module>_test, which tests the layer that owns
the folder <subsystem> (the layer order and folders are read from the
nimbrel_layer() lines of CMakeLists.txt, as tools/check_layers.py reads
them). A program faults when it defines a symbol that only a higher layer's
library defines: then it has linked that layer, or a test support piece that
stands on it.

Usage: check_test_layers.py SOURCE_DIR BUILD_DIR [PROGRAM...]   (all
programs when none is named). Exit status 1 with one line per fault.
"""
import os
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from check_layers import read_layers, symbols  # noqa: E402


def test_programs(src):
    """(program name, subsystem) of every test source."""
    root = os.path.join(src, "tests")
    for here, _, files in os.walk(root):
        for f in sorted(files):
            if f.endswith("_test.cpp"):
                rel = os.path.relpath(os.path.join(here, f), root)
                folder, stem = os.path.dirname(rel), f[: -len(".cpp")]
                yield folder.replace("/", "_") + "_" + stem, folder.split("/")[0]


def layer_libraries(build, layers):
    """Per layer rank, the libraries that make it up (the installer's images too)."""
    libs = [[os.path.join(build, f"lib{name}.a")] for name, _ in layers]
    images = os.path.join(build, "tools", "images", "libbuiltin_images.a")
    for rank, (name, _) in enumerate(layers):
        if name == "layer_installer" and os.path.exists(images):
            libs[rank].append(images)
    return libs


def main():
    src, build = sys.argv[1], sys.argv[2]
    only = set(sys.argv[3:])
    layers = read_layers(src)
    rank_of_folder = {d: r for r, (_, folders) in enumerate(layers) for d in folders}
    defined = [set().union(*(symbols(l, True) for l in libs if os.path.exists(l)))
               for libs in layer_libraries(build, layers)]
    faults, checked = [], 0
    for program, subsystem in test_programs(src):
        if only and program not in only:
            continue
        rank = rank_of_folder.get(subsystem)
        if rank is None:
            faults.append(f"{program}: tests/{subsystem} is the folder of no layer")
            continue
        path = os.path.join(build, "tests", program)
        if not os.path.exists(path):
            faults.append(f"{program}: not built")
            continue
        checked += 1
        mine = symbols(path, True)
        for higher in range(rank + 1, len(layers)):
            found = sorted(mine & defined[higher])
            if found:
                demangled = subprocess.run(["c++filt", found[0]], capture_output=True,
                                           text=True).stdout.strip()
                faults.append(f"{program} tests {layers[rank][0]} but links "
                              f"{layers[higher][0]} ({len(found)} symbols, such as {demangled})")
    for f in faults:
        print(f)
    print(f"{checked} test programs, {len(faults)} faults")
    return 1 if faults or not checked else 0


if __name__ == "__main__":
    sys.exit(main())
