#!/usr/bin/env bash
# Fuzzes the scenery library file reader for a short while with libFuzzer,
# starting from a corpus of real library files. The harness is built with
# clang++ into the build folder when missing or older than its sources;
# whatever a run finds is kept in the build folder's fuzz/artifacts/.
# Usage: fuzz_library_test.sh BUILD_DIR SOURCE_DIR [SECONDS]
set -euo pipefail
build="$1"
src="$2"
seconds="${3:-20}"
out="$build/fuzz"
mkdir -p "$out/artifacts"

sources=("$src/Files/dsf_library_file.cpp" "$src/Files/dsf_library.cpp" "$src/core/files/xmap.cpp"
  "$src/Files/io_utils.cpp" "$src/Files/ouf.cpp")
harness="$src/tests/Files/fuzz/library_fuzz.cpp"
support="$src/tests/Files/fuzz/fuzz_support.cpp"
bin="$out/library_fuzz"
stale=0
[ -x "$bin" ] || stale=1
for f in "${sources[@]}" "$harness" "$support" "$src"/Files/*.h "$src"/core/*.h "$src"/core/files/*.h; do
  [ "$f" -nt "$bin" ] && stale=1
done
if [ $stale -eq 1 ]; then
  clang++ -std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
    -I"$src" "$harness" "$support" "${sources[@]}" -o "$bin"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/corpus"
header=$'I\n800 version\nLIBRARY\n\n'
printf '%s' "${header}EXPORT lib/a.obj objects/a b.obj
EXPORT_EXTEND lib\\b.obj dir:b.obj
EXPORT_EXCLUDE lib/a.obj ex.obj
EXPORT_BACKUP lib/a.obj backup.obj
EXPORT_RATIO 5 lib/r.obj r.obj
EXPORT_RATIO -1 lib/r.obj max.obj
" > "$work/corpus/exports"
printf '%s' "${header}REGION_DEFINE north
REGION_RECT -180 0 179 89
REGION_DEFINE map
REGION_BITMAP world.png
REGION_BITMAP small.png
REGION north
EXPORT lib/n.obj n.obj
REGION map EXPORT lib/m.obj m.obj
REGION_DEFINE north
REGION_RECT 0 0 180 0
REGION nowhere
EXPORT" > "$work/corpus/regions"
printf 'A\n800\nLIBRARY\r\n\tEXPORT_RATIO 16777216 x y\r\n' > "$work/corpus/ratio"
printf 'I\n900 version\nLIBRARY\n' > "$work/corpus/version"

echo "fuzzing the library file reader for $seconds s"
"$bin" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=512 -print_final_stats=1 \
  -artifact_prefix="$out/artifacts/library-" \
  "$work/corpus" 2>"$work/library.log" || { tail -60 "$work/library.log"; exit 1; }
grep -E "stat::number_of_executed_units|Done" "$work/library.log" | head -3
