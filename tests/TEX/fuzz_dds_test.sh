#!/usr/bin/env bash
# Fuzzes the DDS reader for a short while with libFuzzer, from a corpus of
# files ImageMagick writes (DXT1, DXT5 and uncompressed, with mipmaps). The
# harness is built with clang++ into the build folder when missing or older
# than the reader; whatever a run finds is kept in the build folder's
# fuzz/artifacts/.
# Usage: fuzz_dds_test.sh BUILD_DIR SOURCE_DIR [SECONDS]
set -euo pipefail
build="$1"
src="$2"
seconds="${3:-20}"
out="$build/fuzz"
mkdir -p "$out/artifacts"
# libsquish may spread its work over every core: one is enough here.
export OMP_NUM_THREADS=1

bin="$out/dds_fuzz"
sources=("$src/tests/TEX/fuzz/dds_fuzz.cpp" "$src/tests/TEX/fuzz/fuzz_support.cpp"
  "$src/TEX/image_desc.cpp" "$src/TEX/dds_io.cpp")
stale=0
[ -x "$bin" ] || stale=1
for f in "${sources[@]}" "$src"/TEX/*.h; do
  [ "$f" -nt "$bin" ] && stale=1
done
if [ $stale -eq 1 ]; then
  clang++ -std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
    -I"$src" "${sources[@]}" -lsquish -o "$bin"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/corpus"
convert -size 16x8 gradient:red-blue -alpha set -channel A -fx 'i/w' +channel "$work/in.png"
for c in dxt1 dxt5 none; do
  convert "$work/in.png" -define dds:compression=$c "$work/corpus/$c.dds"
done
convert "$work/in.png" -alpha off -define dds:compression=none "$work/corpus/bgr.dds"
convert "$work/in.png" -resize 8x8! -define dds:compression=dxt5 -define dds:mipmaps=0 \
  "$work/corpus/nomips.dds"

echo "fuzzing the dds reader for $seconds s"
"$bin" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=512 -print_final_stats=1 \
  -artifact_prefix="$out/artifacts/dds-" "$work/corpus" 2>"$work/dds.log" ||
  { tail -60 "$work/dds.log"; exit 1; }
grep -E "stat::number_of_executed_units|Done" "$work/dds.log" | head -3
