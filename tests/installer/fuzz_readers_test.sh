#!/usr/bin/env bash
# Fuzzes the manifest and server-list readers for a short while each with
# libFuzzer, starting from small real documents, after running the inputs
# that once broke a reader (fuzz/regressions/<kind>/). Whatever a run finds
# is kept in the build folder's fuzz/artifacts/.
# Usage: fuzz_readers_test.sh BUILD_DIR SOURCE_DIR [SECONDS]
set -euo pipefail
source "$2/tests/support/fuzz_lib.sh" "$@"
work="$WORK"

common=("$SRC/installer/update/text_header.cpp" "$SRC/tests/TEX/fuzz/fuzz_support.cpp")
fuzz_build "$out/manifest_fuzz" "$SRC/tests/installer/fuzz/manifest_fuzz.cpp" \
  "$SRC/installer/update/manifest_scan.cpp" "$SRC/installer/update/manifest_rules.cpp" \
  "$SRC/core/util/text_util.cpp" "${common[@]}"
fuzz_build "$out/server_list_fuzz" "$SRC/tests/installer/fuzz/server_list_fuzz.cpp" \
  "$SRC/installer/update/server_list_scan.cpp" "${common[@]}"

mkdir -p "$work/manifest" "$work/server_list"
sig=0123456789abcdef0123456789abcdef
printf '\x10I\n900 version\nINSTALLER\n\nDIR All/Resources/\nFILE 0 0 90017 3 7 %s a b.txt\nFILE 0 0 90017 0 0 GONE a b.txt\n\nDIR Linux/\nFILE 1 3 90010 1 2 %s prog\n' \
  "$sig" "$sig" > "$work/manifest/seed1"
printf '\x21A\r\n840 version\r\nINSTALLER\r\nDIR\tWindows/x/\r\nFILE\t-+3 9 1a 4 5 %s name\r\n' "$sig" > "$work/manifest/seed2"
printf '\x00I\n901 version\nINSTALLER\n' > "$work/manifest/seed3"
printf 'I\n820 version\nSERVERS\n\nBETA b\nFINAL Nimbrel 9\nSERVER m1.example\n/files/\nFirst\nSERVER m2\n/x/\nSecond\nENDOFLIST\n' \
  > "$work/server_list/seed1"
printf 'A\r\n820 version\r\nSERVERS\r\nSERVER early\r\n/p/\r\nd\r\nFINAL v\r\nSERVERS x\r\n' > "$work/server_list/seed2"

for kind in manifest server_list; do
  fuzz_run "${kind}_reader" "$out/${kind}_fuzz" "$work/$kind" "$seconds" 256 \
    "$SRC/tests/installer/fuzz/regressions/$kind"
done
