#!/usr/bin/env bash
# Fuzzes the scenery library file reader for a short while with libFuzzer,
# starting from a corpus of real library files. The harness is built with
# clang++ into the build folder when missing or older than its sources;
# whatever a run finds is kept in the build folder's fuzz/artifacts/.
# Usage: fuzz_library_test.sh BUILD_DIR SOURCE_DIR [SECONDS]
set -euo pipefail
source "$2/tests/support/fuzz_lib.sh" "$@"

fuzz_build "$out/library_fuzz" "$SRC/tests/Files/fuzz/library_fuzz.cpp" \
  "$SRC/tests/Files/fuzz/fuzz_support.cpp" "$SRC/Files/dsf_library_file.cpp" \
  "$SRC/Files/dsf_library.cpp" "$SRC/core/files/xmap.cpp" "$SRC/core/util/text_util.cpp" \
  "$SRC/Files/io_utils.cpp" "$SRC/Files/ouf.cpp"

work="$WORK"
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

fuzz_run library_reader "$out/library_fuzz" "$work/corpus" "$seconds" 512
