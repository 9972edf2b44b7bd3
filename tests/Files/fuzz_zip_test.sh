#!/usr/bin/env bash
# Fuzzes the zip reader for a short while with libFuzzer: archives unpacked
# into a scratch folder, under a memory limit that an entry allocating what
# it declares would break at once. Seeds are archives of Info-ZIP and of our
# own packing; the inputs that once broke the reader run first
# (fuzz/regressions/). Usage: fuzz_zip_test.sh BUILD_DIR SOURCE_DIR [SECONDS]
set -euo pipefail
build="$1"
SRC="$2"
seconds="${3:-18}"
out="$build/fuzz"
mkdir -p "$out"
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
source "$SRC/tests/support/fuzz_lib.sh"

mapfile -t sources < <(ls "$SRC"/core/*.cpp "$SRC"/core/*/*.cpp "$SRC"/Files/*.cpp | grep -v /always/)
fuzz_build "$out/zip_fuzz" "$SRC/tests/Files/fuzz/zip_fuzz.cpp" "${sources[@]}" -- \
  $(pkg-config --libs minizip) -lz -lpthread -ldl

# Seeds: a file with its mode, a folder tree with a link, a stored entry.
mkdir -p "$WORK/corpus" "$WORK/tree/sub"
(
  cd "$WORK/tree"
  printf 'hello hello hello\n' > sub/file.txt
  chmod 700 sub/file.txt
  ln -s sub/file.txt link
  zip -qry "$WORK/corpus/tree.zip" .
  zip -q0 "$WORK/corpus/stored.zip" sub/file.txt
  printf 'x' > ._fork
  zip -q "$WORK/corpus/fork.zip" sub/file.txt ._fork
)
mkdir -p "$WORK/scratch"
export NIMBREL_FUZZ_SCRATCH="$WORK/scratch"
fuzz_run zip_reader "$out/zip_fuzz" "$WORK/corpus" "$seconds" 160 "$SRC/tests/Files/fuzz/regressions"
