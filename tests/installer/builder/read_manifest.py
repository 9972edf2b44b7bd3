#!/usr/bin/env python3
"""Reads a manifest ("directory.txt") independently of our own reader and
prints its histories: per history its full path on a line, then one line per
record, oldest first, indented by two blanks: type, platform, version, zip
KB, installed KB and signature, separated by blanks.

Usage: read_manifest.py MANIFEST

The format: the lines "I", "<version> version" (840 or 900) and "INSTALLER";
then "DIR <folder>" lines, each naming the folder of the FILE lines after it,
and "FILE <type> <platform> <version> <zip KB> <ext KB> <sig> <name>" lines,
the name running to the end of the line. Consecutive FILE lines of one path
form one history. Anything that breaks the format ends with status 1.
"""
import re
import sys

FILE_LINE = re.compile(r"FILE (-?\d+) (-?\d+) (-?\d+) (\d+) (\d+) ([0-9a-f]{32}|GONE) (.+)")


def read(path):
    with open(path, "rb") as f:
        lines = f.read().decode("latin-1").split("\n")
    if lines[:3] not in (["I", "900 version", "INSTALLER"], ["I", "840 version", "INSTALLER"]):
        sys.exit("bad header: %r" % lines[:3])
    if lines and lines[-1] == "":
        lines.pop()
    histories, folder = [], None
    for n, line in enumerate(lines[3:], 4):
        if line == "":
            continue
        if line.startswith("DIR "):
            folder = line[4:]
            if not folder.endswith("/"):
                sys.exit("line %d: a DIR folder without its /" % n)
            continue
        m = FILE_LINE.fullmatch(line)
        if not m or folder is None:
            sys.exit("line %d: not a FILE line under a DIR line: %r" % (n, line))
        record = [int(v) for v in m.groups()[:5]] + [m.group(6)]
        full = folder + m.group(7)
        if histories and histories[-1]["path"] == full:
            histories[-1]["records"].append(record)
        else:
            histories.append({"path": full, "records": [record]})
    return histories


if __name__ == "__main__":
    for history in read(sys.argv[1]):
        print(history["path"])
        for record in history["records"]:
            print("  " + " ".join(str(v) for v in record))
