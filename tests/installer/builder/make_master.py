#!/usr/bin/env python3
"""Makes a small master copy of the product for the builder's tests: every
folder and file the builder requires, files that must be left out (junk,
empty, hidden, scenery of other sets), a Windows program stub, a symbolic
link, names with blanks, and a group-writable Linux program.

Usage: make_master.py FOLDER
"""
import os
import random
import struct
import sys


def write(root, path, data, mode=0o644):
    full = os.path.join(root, path)
    os.makedirs(os.path.dirname(full), exist_ok=True)
    with open(full, "wb") as f:
        f.write(data if isinstance(data, bytes) else data.encode())
    os.chmod(full, mode)


def pe_stub():
    """A DOS header pointing at a PE signature and a COFF header whose
    characteristics lack the large-address flag."""
    dos = bytearray(64)
    dos[0:2] = b"MZ"
    dos[60:64] = struct.pack("<I", 64)
    coff = struct.pack("<HHIIIHH", 0x14C, 1, 0, 0, 0, 0xE0, 0x0102)
    return bytes(dos) + b"PE\0\0" + coff + b"\0" * 200


def main():
    root = sys.argv[1]
    rng = random.Random(16)
    files = {
        "All/Aircraft/Trainer/Trainer.acf": "I\n900 version\nACF\n" + "wing 1\n" * 400,
        "All/Airfoils/naca 0012.afl": "airfoil\n",
        "All/Instructions/Manual with blanks.txt": "Read me first.\n" * 90,
        "All/Weapons/bomb.wpn": "weapon\n",
        "All/Custom Scenery/README.txt": "Put scenery here.\n",
        "All/Resources/menus/English/Nimbrel.txt": "menu\n",
        "All/Resources/text/English/Nimbrel.txt": "text\n",
        "All/Resources/plugins/PluginAdminLin.vyk": "linux admin\n",
        "All/Resources/plugins/PluginAdminWin.vyk": "windows admin\n",
        "All/Resources/plugins/other.txt": "shared\n",
        "All/Resources/exactly 999.txt": "x" * 999,
        "All/Resources/exactly 1000.txt": "y" * 1000,
        "Macintosh/Nimbrel.app/Contents/MacOS/Nimbrel": "mac program\n",
        # Left out of the internet set: junk, an empty file, other sets' scenery.
        "All/Resources/Thumbs.db": "junk",
        "All/Resources/serverlist.txt": "not ours to ship",
        "All/Resources/empty.txt": "",
        "All/Resources/default scenery/900 red terrain/+40-120.dsf": "red",
        "All/Custom Scenery/-global terrain-/+40-120.dsf": "terrain",
    }
    for path, text in files.items():
        write(root, path, text)
    write(root, "All/Resources/big.bin", rng.randbytes(300_000))
    write(root, "Windows/nimbrel.exe", pe_stub())
    write(root, "Linux/nimbrel", "#!/bin/sh\necho nimbrel\n", 0o775)
    write(root, "All/Resources/.hidden", "never seen")
    os.makedirs(os.path.join(root, "All/Output"), exist_ok=True)
    os.symlink("menus/English/Nimbrel.txt", os.path.join(root, "All/Resources/menu link"))
    # A link to a folder is packed as a link, never walked into.
    os.symlink("menus", os.path.join(root, "All/Resources/menus folder link"))


if __name__ == "__main__":
    main()
