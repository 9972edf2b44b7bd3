#!/usr/bin/env python3
"""Makes an install set for the engine's tests and benchmark, independently
of our own code: one zip archive per file (Python's zipfile), the manifest
written here line by line, and its zipped form.

Usage: make_mirror.py PLAN.json

The plan (JSON):
  set       folder that receives the archives and directory.txt.zip
  manifest  where directory.txt is written
  expect    prefix of two lists for checking an installed tree (Linux
            install): PREFIX.md5 ("md5  local path", for md5sum -c) and
            PREFIX.links ("local path<TAB>link text")
  files     list of:
    path      full path, platform folder first ("All/Resources/a.txt")
    text      the file's bytes as text, or
    size, seed  that many pseudo-random bytes (text-like when "words" is set)
    link      a symbolic link with this text instead of a file
    mode      permission bits (default 0o644)
    platform, type, version   manifest fields (default 0, 0, 90017)
    older     list of texts whose MD5s make the older lines of the history
    gone      the last line is GONE (no archive is written)
    archive   false: no archive (a file the mirror lacks)
    entries   [[name, text], ...]: the archive holds these entries instead
"""
import hashlib
import json
import os
import random
import sys
import zipfile

WORDS = b"the quick brown fox jumps over lazy dogs while nimble engines hum along ".split()


def content(f):
    if "text" in f:
        return f["text"].encode()
    rng = random.Random(f.get("seed", 1))
    size = f["size"]
    if f.get("words"):
        out = bytearray()
        while len(out) < size:
            out += rng.choice(WORDS) + b" "
        return bytes(out[:size])
    return rng.randbytes(size)


def write_archive(folder, f, data):
    target = os.path.join(folder, f["path"] + ".zip")
    os.makedirs(os.path.dirname(target), exist_ok=True)
    name = f["path"].rsplit("/", 1)[-1]
    info = zipfile.ZipInfo(name, date_time=(2020, 5, 17, 12, 30, 0))
    info.create_system = 3
    if "link" in f:
        info.external_attr = 0xA1ED0000
        info.compress_type = zipfile.ZIP_STORED
    else:
        info.external_attr = (0o100000 | f.get("mode", 0o644)) << 16
        info.compress_type = zipfile.ZIP_DEFLATED
    with zipfile.ZipFile(target, "w") as z:
        if "entries" in f:
            for entry, text in f["entries"]:
                z.writestr(entry, text)
        else:
            z.writestr(info, data)
    return os.path.getsize(target)


def main():
    with open(sys.argv[1]) as s:
        plan = json.load(s)
    lines = ["I", "900 version", "INSTALLER", ""]
    md5_lines, link_lines = [], []
    folder = "---"
    for f in plan["files"]:
        path = f["path"]
        platform, kind, version = f.get("platform", 0), f.get("type", 0), f.get("version", 90017)
        data = f["link"].encode() if "link" in f else content(f)
        sig = hashlib.md5(data).hexdigest()
        zip_size = 0
        if not f.get("gone") and f.get("archive", True):
            zip_size = write_archive(plan["set"], f, data)
        d, name = path.rsplit("/", 1)
        if d + "/" != folder:
            folder = d + "/"
            lines += ["", "DIR " + folder]
        for i, old in enumerate(f.get("older", [])):
            old_sig = hashlib.md5(old.encode()).hexdigest()
            lines.append(f"FILE {kind} {platform} {90010 + i} 1 1 {old_sig} {name}")
        if f.get("gone"):
            lines.append(f"FILE {kind} {platform} 90017 0 0 GONE {name}")
            continue
        lines.append(f"FILE {kind} {platform} {version} {zip_size // 1000} {len(data) // 1000} {sig} {name}")
        if platform in (0, 3, 6):
            local = path.split("/", 1)[1]
            if "link" in f:
                link_lines.append(f"{local}\t{f['link']}")
            else:
                md5_lines.append(f"{sig}  {local}")
    text = "\n".join(lines) + "\n"
    with open(plan["manifest"], "w") as m:
        m.write(text)
    os.makedirs(plan["set"], exist_ok=True)
    with zipfile.ZipFile(os.path.join(plan["set"], "directory.txt.zip"), "w",
                         zipfile.ZIP_DEFLATED) as z:
        z.writestr("directory.txt", text)
    if "expect" in plan:
        with open(plan["expect"] + ".md5", "w") as e:
            e.write("".join(line + "\n" for line in md5_lines))
        with open(plan["expect"] + ".links", "w") as e:
            e.write("".join(line + "\n" for line in link_lines))


if __name__ == "__main__":
    main()
