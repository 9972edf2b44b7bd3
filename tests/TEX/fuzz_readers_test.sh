#!/usr/bin/env bash
# Fuzzes the PNG and BMP readers for a short while each with libFuzzer,
# starting from a small corpus of real files, after running the inputs that
# once hung, crashed or swelled a reader (fuzz/regressions/<kind>/). The
# memory limit is low enough that a reader keeping what a few compressed
# bytes expand to is caught. Whatever a run finds is kept in the build
# folder's fuzz/artifacts/.
# Usage: fuzz_readers_test.sh BUILD_DIR SOURCE_DIR [SECONDS]
set -euo pipefail
source "$2/tests/support/fuzz_lib.sh" "$@"
src="$SRC"
work="$WORK"

readers=("$src/TEX/image_desc.cpp" "$src/TEX/png_io.cpp" "$src/TEX/bmp_read.cpp"
  "$src/Files/io_utils.cpp" "$src/tests/TEX/fuzz/fuzz_support.cpp")
for kind in png bmp; do
  fuzz_build "$out/${kind}_fuzz" "$src/tests/TEX/fuzz/${kind}_fuzz.cpp" "${readers[@]}" -- \
    $(pkg-config --libs libpng) -lsquish -lz
done

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

# Made here rather than kept, being large: a PNG whose 60 text chunks of
# about 8 KB each inflate to 8 MB apiece, which a reader must not keep.
mkdir -p "$work/regress-png" "$work/regress-bmp"
cp "$src"/tests/TEX/fuzz/regressions/bmp/* "$work/regress-bmp/"
python3 - "$work/regress-png/text-chunks-inflate-to-470MB" <<'PY'
import struct, sys, zlib
def chunk(kind, data):
    return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))
text = zlib.compress(b'a' * 7900000, 9)
png = (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', 1, 1, 8, 2, 0, 0, 0))
       + b''.join(chunk(b'zTXt', b'k%d\x00\x00' % i + text) for i in range(60))
       + chunk(b'IDAT', zlib.compress(b'\x00\x10\x20\x30')) + chunk(b'IEND', b''))
open(sys.argv[1], 'wb').write(b'\x00' + png)  # the option byte: RGB, no padding
PY

for kind in png bmp; do
  fuzz_run "${kind}_reader" "$out/${kind}_fuzz" "$work/$kind" "$seconds" 256 "$work/regress-$kind"
done
