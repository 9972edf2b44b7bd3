#!/usr/bin/env bash
# Fuzzes the manifest and server-list readers for a short while each with
# libFuzzer, starting from small real documents, after running any input that
# once broke a reader (fuzz/regressions/<kind>/). The harnesses are built with
# clang++ into the build folder when missing or older than the readers;
# whatever a run finds is kept in the build folder's fuzz/artifacts/.
# Usage: fuzz_readers_test.sh BUILD_DIR SOURCE_DIR [SECONDS]
set -euo pipefail
build="$1"
src="$2"
seconds="${3:-20}"
out="$build/fuzz"
mkdir -p "$out/artifacts"

declare -A readers=(
  [manifest]="$src/installer/update/manifest_scan.cpp $src/installer/update/text_header.cpp $src/core/util/text_util.cpp"
  [server_list]="$src/installer/update/server_list_scan.cpp $src/installer/update/text_header.cpp"
)
for kind in manifest server_list; do
  bin="$out/${kind}_fuzz"
  harness="$src/tests/installer/fuzz/${kind}_fuzz.cpp"
  stale=0
  [ -x "$bin" ] || stale=1
  for f in ${readers[$kind]} "$harness" "$src"/installer/update/*.h "$src"/net/http.h; do
    [ "$f" -nt "$bin" ] && stale=1
  done
  if [ $stale -eq 1 ]; then
    # shellcheck disable=SC2086
    clang++ -std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
      -I"$src" "$harness" "$src/tests/TEX/fuzz/fuzz_support.cpp" ${readers[$kind]} -o "$bin"
  fi
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/manifest" "$work/server_list"
sig=0123456789abcdef0123456789abcdef
printf '\x10I\n900 version\nINSTALLER\n\nDIR All/Resources/\nFILE 0 0 90017 3 7 %s a b.txt\nFILE 0 0 90017 0 0 GONE a b.txt\n\nDIR Linux/\nFILE 1 3 90010 1 2 %s prog\n' \
  "$sig" "$sig" > "$work/manifest/seed1"
printf '\x21A\r\n840 version\r\nINSTALLER\r\nDIR\tWindows/x/\r\nFILE\t-+3 9 1a 4 5 %s name\r\n' "$sig" > "$work/manifest/seed2"
printf '\x00I\n901 version\nINSTALLER\n' > "$work/manifest/seed3"
printf 'I\n820 version\nSERVERS\n\nBETA b\nFINAL Nimbrel 9\nSERVER m1.example\n/files/\nFirst\nSERVER m2\n/x/\nSecond\nENDOFLIST\n' \
  > "$work/server_list/seed1"
printf 'A\r\n820 version\r\nSERVERS\r\nSERVER early\r\n/p/\r\nd\r\nFINAL v\r\nSERVERS x\r\n' > "$work/server_list/seed2"

# shellcheck source=../support/fuzz_run.sh
source "$src/tests/support/fuzz_run.sh"
for kind in manifest server_list; do
  fuzz_run "$kind" "$out/${kind}_fuzz" "$work/$kind" "$src/tests/installer/fuzz/regressions/$kind" \
    "$seconds" "$out/artifacts/${kind}-" 512 -max_len=65536
done
