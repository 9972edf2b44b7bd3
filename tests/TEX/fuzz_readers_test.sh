#!/usr/bin/env bash
# Fuzzes the PNG and BMP readers for a short while each with libFuzzer,
# starting from a small corpus of real files, after running the inputs that
# once hung or crashed a reader (fuzz/regressions/<kind>/). The harnesses are
# built with clang++ into the build folder when missing or older than the
# readers; whatever a run finds is kept in the build folder's fuzz/artifacts/.
# Usage: fuzz_readers_test.sh BUILD_DIR SOURCE_DIR [SECONDS]
set -euo pipefail
build="$1"
src="$2"
seconds="${3:-20}"
out="$build/fuzz"
mkdir -p "$out"

readers=("$src/TEX/image_desc.cpp" "$src/TEX/png_io.cpp" "$src/TEX/bmp_read.cpp")
for kind in png bmp; do
  bin="$out/${kind}_fuzz"
  harness="$src/tests/TEX/fuzz/${kind}_fuzz.cpp"
  stale=0
  [ -x "$bin" ] || stale=1
  for f in "${readers[@]}" "$harness" "$src/tests/TEX/fuzz/fuzz_support.cpp" "$src"/TEX/*.h; do
    [ "$f" -nt "$bin" ] && stale=1
  done
  if [ $stale -eq 1 ]; then
    clang++ -std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
      -I"$src" $(pkg-config --cflags libpng) "$harness" "$src/tests/TEX/fuzz/fuzz_support.cpp" "${readers[@]}" \
      $(pkg-config --libs libpng) -lsquish -lz -o "$bin"
  fi
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/png" "$work/bmp"
printf 'P6\n5 3\n255\n' > "$work/in.ppm"
head -c 45 /dev/urandom >> "$work/in.ppm"
# Seeds: the first byte is the harness's option byte, the rest a real file.
i=0
for format in "PNG24:" "PNG32:" "PNG8:" "PNG48:" "-interlace PNG PNG24:" "-colorspace Gray -define png:bit-depth=16 PNG:"; do
  prefix="${format##* }"
  flags="${format% *}"
  [ "$flags" = "$format" ] && flags=""
  convert "$work/in.ppm" -strip $flags "${prefix}$work/seed.png"
  { printf "\\x$(printf %02x $((i * 5)))"; cat "$work/seed.png"; } > "$work/png/seed$i"
  i=$((i + 1))
done
convert "$work/in.ppm" BMP3:"$work/seed.bmp"
for opt in 00 01 06 1a; do
  { printf "\\x$opt"; cat "$work/seed.bmp"; } > "$work/bmp/seed$opt"
done

mkdir -p "$out/artifacts"
for kind in png bmp; do
  regressions="$src/tests/TEX/fuzz/regressions/$kind"
  if [ -d "$regressions" ]; then
    echo "running the $kind reader's regression inputs"
    "$out/${kind}_fuzz" -timeout=10 -rss_limit_mb=2048 "$regressions"/* 2>"$work/$kind.regress.log" ||
      { tail -60 "$work/$kind.regress.log"; exit 1; }
    cp "$regressions"/* "$work/$kind/"
  fi
  echo "fuzzing the $kind reader for $seconds s"
  "$out/${kind}_fuzz" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$out/artifacts/${kind}-" \
    "$work/$kind" 2>"$work/$kind.log" || { tail -60 "$work/$kind.log"; exit 1; }
  grep -E "stat::number_of_executed_units|Done" "$work/$kind.log" | head -3
done
