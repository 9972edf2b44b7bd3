#!/usr/bin/env bash
# The repository speaks of the system alone: no document, source, test or
# script refers to the written requirements it was built from (by their
# name, or by a numbered part of them). First the check on small files that
# show each fault (and one that shows none), then on every file the
# repository tracks. The words are spelt in pieces here, so that this file
# passes its own check.
# Usage: words_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

name="speci""fication" short="sp""ec" part="Pa""rt"
pattern="\\b$name\\b|\\bper $short\\b|\\bthe $short\\b|\\b$part [0-9]+\\.[0-9]+"

# Lines that speak of the requirements, as "file:line:text"; a graphics
# card's ${name}s, named in an alert, are the card maker's.
faults() {
  grep -InE "$pattern" "$@" /dev/null || true
}

printf 'The install keeps what the user changed.\nCheck your graphics card %ss.\n' "$name" \
  > "$work/clean.md"
[ -z "$(faults "$work/clean.md")" ] || { echo "FAIL: a clean file was flagged"; exit 1; }
n=0
# The faulty lines, base64-encoded so that this file never reads as one.
for coded in YXMgdGhlIHNwZWNpZmljYXRpb24gc2F5cw== a2VwdCBwZXIgc3BlYw== c2VlIFBhcnQgMy4xMDg= d2hhdCB0aGUgc3BlYyB3YW50cw==; do
  text=$(printf %s "$coded" | base64 -d)
  n=$((n + 1))
  printf 'A line.\n%s\n' "$text" > "$work/fault$n.md"
  [ -n "$(faults "$work/fault$n.md")" ] || { echo "FAIL: \"$text\" was not flagged"; exit 1; }
done

cd "$2"
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  mapfile -t files < <(git ls-files)
else
  mapfile -t files < <(find . -path ./build\* -prune -o -path ./.git -prune -o -type f -print)
fi
found=$(faults "${files[@]}")
if [ -n "$found" ]; then
  echo "FAIL: these lines speak of the requirements rather than the system:"
  echo "$found"
  exit 1
fi
echo "${#files[@]} files, none speaks of the requirements"
