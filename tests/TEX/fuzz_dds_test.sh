#!/usr/bin/env bash
# Fuzzes the DDS reader for a short while with libFuzzer, from a corpus of
# files ImageMagick writes (DXT1, DXT5 and uncompressed, with mipmaps). The
# harness is built with clang++ into the build folder when missing or older
# than the reader; whatever a run finds is kept in the build folder's
# fuzz/artifacts/.
# Usage: fuzz_dds_test.sh BUILD_DIR SOURCE_DIR [SECONDS]
set -euo pipefail
source "$2/tests/support/fuzz_lib.sh" "$@"
# libsquish may spread its work over every core: one is enough here.
export OMP_NUM_THREADS=1

fuzz_build "$out/dds_fuzz" "$SRC/tests/TEX/fuzz/dds_fuzz.cpp" "$SRC/tests/TEX/fuzz/fuzz_support.cpp" \
  "$SRC/TEX/image_desc.cpp" "$SRC/TEX/dds_io.cpp" -- -lsquish

work="$WORK"
mkdir -p "$work/corpus"
convert -size 16x8 gradient:red-blue -alpha set -channel A -fx 'i/w' +channel "$work/in.png"
for c in dxt1 dxt5 none; do
  convert "$work/in.png" -define dds:compression=$c "$work/corpus/$c.dds"
done
convert "$work/in.png" -alpha off -define dds:compression=none "$work/corpus/bgr.dds"
convert "$work/in.png" -resize 8x8! -define dds:compression=dxt5 -define dds:mipmaps=0 \
  "$work/corpus/nomips.dds"

fuzz_run dds_reader "$out/dds_fuzz" "$work/corpus" "$seconds" 512
