// Telling a data-file header we can read from one that is only newer and from
// bytes that are no header at all.
#include "installer/update/text_header.h"

#include <cstring>

namespace {

struct cursor {
  const char* p;
  const char* end;
  void skip_blanks() {
    while (p < end && text_blank(*p)) ++p;
  }
  void skip_white() {
    while (p < end && (text_blank(*p) || text_line_end(*p))) ++p;
  }
  bool at_line_end() const { return p >= end || text_line_end(*p); }
};

}  // namespace

text_header classify_text_header(const char* begin, const char* end, const char* kind_word,
                                 const int* versions) {
  text_header h;
  if (!begin || begin >= end) return h;
  cursor c{begin, end};
  if (*c.p != 'I' && *c.p != 'A') return h;
  ++c.p;
  c.skip_blanks();
  if (!c.at_line_end()) return h;
  c.skip_white();

  // The version: plain digits, few enough that the value cannot overflow.
  bool negative = c.p < end && *c.p == '-';
  if (negative) ++c.p;
  int digits = 0;
  long value = 0;
  while (c.p < end && *c.p >= '0' && *c.p <= '9' && digits < 9) {
    value = value * 10 + (*c.p - '0');
    ++c.p;
    ++digits;
  }
  if (digits == 0 || c.p >= end || !text_blank(*c.p)) return h;
  c.skip_blanks();
  static const char kVersion[] = "version";
  if (static_cast<size_t>(end - c.p) < sizeof kVersion - 1 ||
      memcmp(c.p, kVersion, sizeof kVersion - 1) != 0)
    return h;
  while (!c.at_line_end()) ++c.p;
  c.skip_white();

  size_t word = strlen(kind_word);
  if (static_cast<size_t>(end - c.p) < word || memcmp(c.p, kind_word, word) != 0) return h;
  c.p += word;
  if (!c.at_line_end() && !text_blank(*c.p)) return h;
  while (!c.at_line_end()) ++c.p;
  c.skip_white();

  h.version = static_cast<int>(negative ? -value : value);
  h.verdict = header_other_version;
  for (const int* v = versions; v && *v; ++v)
    if (*v == h.version) {
      h.verdict = header_accepted;
      h.body = c.p;
    }
  return h;
}
