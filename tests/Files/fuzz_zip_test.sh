#!/usr/bin/env bash
# Fuzzes the zip reader for a short while with libFuzzer: archives unpacked
# into a scratch folder, under a memory limit that an entry allocating what
# it declares would break at once. Seeds are archives made by Info-ZIP; the
# inputs that once broke the reader run first (fuzz/regressions/).
# Usage: fuzz_zip_test.sh BUILD_DIR SOURCE_DIR [SECONDS]
set -euo pipefail
source "$2/tests/support/fuzz_lib.sh" "$@"

mapfile -t sources < <(ls "$SRC"/core/*.cpp "$SRC"/core/*/*.cpp "$SRC"/Files/*.cpp | grep -v /always/)
fuzz_build "$out/zip_fuzz" "$SRC/tests/Files/fuzz/zip_fuzz.cpp" "${sources[@]}" -- \
  $(pkg-config --libs minizip) -lz -lpthread -ldl

# Seeds: a folder tree with a mode and a link, a stored entry, and a file
# with its fork as an AppleDouble entry under "__MACOSX".
mkdir -p "$WORK/corpus" "$WORK/tree/sub" "$WORK/tree/__MACOSX/sub"
(
  cd "$WORK/tree"
  printf 'hello hello hello\n' > sub/file.txt
  chmod 700 sub/file.txt
  ln -s sub/file.txt link
  zip -qry "$WORK/corpus/tree.zip" sub link
  zip -q0 "$WORK/corpus/stored.zip" sub/file.txt
  printf '\0\5\26\7\0\2\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\1\0\0\0\2\0\0\0\46\0\0\0\3abc' \
    > __MACOSX/sub/._file.txt
  zip -q "$WORK/corpus/fork.zip" sub/file.txt __MACOSX/sub/._file.txt
)
mkdir -p "$WORK/scratch"
export NIMBREL_FUZZ_SCRATCH="$WORK/scratch"
fuzz_run zip_reader "$out/zip_fuzz" "$WORK/corpus" "$seconds" 160 "$SRC/tests/Files/fuzz/regressions"
