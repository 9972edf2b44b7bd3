#!/usr/bin/env bash
# Fuzzes the scenery library file reader for a short while with libFuzzer,
# starting from a corpus of real library files, some carrying the image their
# REGION_BITMAP reads through the real image loader. The harness is built with
# clang++ into the build folder when missing or older than its sources;
# whatever a run finds is kept in the build folder's fuzz/artifacts/.
# Usage: fuzz_library_test.sh BUILD_DIR SOURCE_DIR [SECONDS]
set -euo pipefail
source "$2/tests/support/fuzz_lib.sh" "$@"

fuzz_build "$out/library_fuzz" "$SRC/tests/Files/fuzz/library_fuzz.cpp" \
  "$SRC/tests/Files/fuzz/fuzz_support.cpp" "$SRC/Files/dsf_library_file.cpp" \
  "$SRC/Files/dsf_library.cpp" "$SRC/core/files/xmap.cpp" "$SRC/core/util/text_util.cpp" \
  "$SRC/Files/io_utils.cpp" "$SRC/Files/ouf.cpp" "$SRC/TEX/load_any.cpp" "$SRC/TEX/png_io.cpp" \
  "$SRC/TEX/bmp_read.cpp" -- $(pkg-config --libs libpng) -lz

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
# A library and, after a NUL byte, its region image: good, cut short, foreign.
bitmap_library="${header}REGION_DEFINE m
REGION_BITMAP map.png
REGION_DEFINE n REGION_BITMAP map.bmp REGION m
EXPORT lib/m.obj m.obj
"
convert -size 360x180 xc:black -fill white -draw 'rectangle 0,0 40,20' -depth 8 PNG8:"$work/map.png"
convert "$work/map.png" -type truecolor BMP3:"$work/map.bmp"
convert -size 360x180 xc:white GIF:"$work/map.gif"
for kind in png bmp gif; do
  { printf '%s\0' "$bitmap_library"; cat "$work/map.$kind"; } > "$work/corpus/bitmap-$kind"
done
{ printf '%s\0' "$bitmap_library"; head -c 300 "$work/map.png"; } > "$work/corpus/bitmap-cut"

# The harness keeps its package folders in the scratch folder, which goes
# even when a finding ends the harness.
export TMPDIR="$work"
fuzz_run library_reader "$out/library_fuzz" "$work/corpus" "$seconds" 512
