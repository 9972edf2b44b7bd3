// libFuzzer harness of the HTTP reply parser: the input is what a server
// sends, fed to one transfer as if received, in pieces whose size the first
// byte picks, and repeated as a server that never stops would repeat it. The
// transfer has no output file, so all it keeps stays in memory. After every
// piece the harness checks the transfer's promises: it holds no more than its
// bounds allow, and a head longer than its bound has failed it.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "net/down_class.h"

namespace {

// Bytes the transfer holds for the reply: its buffer as allocated, and the
// head's fields and reason phrase.
size_t held(const down_class& d) {
  size_t bytes = d.recv_buf.capacity() + d.response_text.size();
  for (const auto& h : d.headers) bytes += h.first.size() + h.second.size();
  return bytes;
}

void broken(const char* what, size_t value, size_t fed) {
  fprintf(stderr, "%s: %zu after %zu bytes received\n", what, value, fed);
  abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  if (size < 2) return 0;
  const size_t piece = 1 + bytes[0] * 31u;
  const char* data = reinterpret_cast<const char*>(bytes + 1);
  const size_t length = size - 1;
  // No server listens there: the transfer gets a socket that is refused, and
  // nothing but this harness ever hands it bytes.
  down_class d("127.0.11.250", 1, "/fuzz", false, {{"Host", "fuzz"}}, nullptr, 0, nullptr);
  // A growing buffer may hold twice what it was asked to.
  const size_t limit =
      2 * (down_class::kMaxHeadBytes + down_class::kMaxBodyInHand + piece) + 64 * 1024;
  size_t fed = 0;
  // Up to 4 MiB in all: past every bound, whatever the input holds.
  while (fed < (size_t(4) << 20) && !d.IsErr()) {
    for (size_t at = 0; at < length && !d.IsErr(); at += piece) {
      const size_t n = length - at < piece ? length - at : piece;
      d.receive(data + at, n);
      fed += n;
      if (held(d) > limit) broken("the transfer holds", held(d), fed);
      if (!d.headers_done && !d.IsErr() && fed > down_class::kMaxHeadBytes)
        broken("a head still being read is", fed, fed);
    }
    if (d.headers_done && d.content_length >= 0) break;
  }
  return 0;
}
