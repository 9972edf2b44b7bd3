#!/usr/bin/env bash
# Fuzzes the HTTP reply parser for a short while with libFuzzer: bytes handed
# to one transfer as if received, repeated like a server that never stops,
# while the harness checks that the transfer holds no more than its bounds.
# Seeds are real replies of the shapes the download client meets; the inputs
# that once broke the parser run first (fuzz/regressions/).
# Usage: fuzz_http_reply_test.sh BUILD_DIR SOURCE_DIR [SECONDS]
set -euo pipefail
source "$2/tests/support/fuzz_lib.sh" "$@"

mapfile -t sources < <(ls "$SRC"/core/*.cpp "$SRC"/core/*/*.cpp "$SRC"/Files/*.cpp \
  "$SRC"/Sockets/*.cpp "$SRC"/net/*.cpp | grep -v /always/)
fuzz_build "$out/http_reply_fuzz" "$SRC/tests/net/fuzz/http_reply_fuzz.cpp" "${sources[@]}" -- \
  $(pkg-config --libs minizip) -lz -lpthread -ldl

# Seeds: the first byte picks the size of the pieces, the rest is a reply.
mkdir -p "$WORK/corpus"
seed() { printf "$2" > "$WORK/corpus/$1"; }
seed plain '\x00HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello'
seed interim '\x03HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nhi'
seed notfound '\x07HTTP/1.1 404 Not Found\r\nServer: x\r\nContent-Length: 4\r\n\r\nnope'
seed nolength '\x01HTTP/1.0 200 OK\r\nConnection: close\r\n\r\nbody without end'
seed chunked '\x02HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n0\r\n\r\n'
fuzz_run http_reply "$out/http_reply_fuzz" "$WORK/corpus" "$seconds" 160 \
  "$SRC/tests/net/fuzz/regressions"
