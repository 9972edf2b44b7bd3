// Decimal formatting and parsing without overflow, and the small text
// helpers every subsystem calls.
#include "core/util/text_util.h"

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>

void int_to_str(int value, char* buffer, int min_digits, int plus) {
  char* p = buffer;
  // The magnitude is taken unsigned so that INT_MIN needs no special case.
  uint32_t mag = value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
  if (value < 0)
    *p++ = '-';
  else if (plus)
    *p++ = '+';

  if (min_digits > 10) min_digits = 10;
  char digits[10];
  int n = 0;
  do {
    digits[n++] = static_cast<char>('0' + mag % 10);
    mag /= 10;
  } while (mag != 0 && n < 10);
  while (n < min_digits) digits[n++] = '0';
  while (n > 0) *p++ = digits[--n];
  *p = 0;
}

// A digit counts its value, "+" one and "-" minus one: the menu codes are read
// the same way.
static int weighted_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c == '+') return 1;
  if (c == '-') return -1;
  return 0;
}

int str_to_int(const std::string& text) {
  if (text.empty()) return -1;
  for (char c : text)
    if (!((c >= '0' && c <= '9') || c == '+' || c == '-')) return -1;

  size_t start = 0;
  int sign = 1;
  if (text[0] == '+' || text[0] == '-') {
    sign = text[0] == '-' ? -1 : 1;
    start = 1;
  }
  size_t n = text.size() - start;
  if (n < 1 || n > 9) return -1;

  int64_t sum = 0;
  for (size_t k = start; k < text.size(); ++k) sum = sum * 10 + weighted_digit(text[k]);
  return static_cast<int>(sum * sign);
}

void flt_to_str(float value, std::string* out, int width, int decimals, int sign_flag) {
  if (decimals < 0) return;
  if (std::isnan(value)) {
    *out = "NaN";
    return;
  }
  if (std::isinf(value)) {
    *out = value < 0 ? "-inf" : "inf";
    return;
  }
  // Above nine decimals the scale no longer fits the int the fraction is
  // formatted from.
  if (decimals > 9) decimals = 9;

  static std::string int_text, frac_text;
  double v = value;
  double int_part = std::trunc(v);
  double frac = std::fabs(v - int_part);
  double int_mag = std::fabs(int_part);

  int64_t scale = 1;
  for (int k = 0; k < decimals; ++k) scale *= 10;
  int64_t frac_units = 0;
  if (decimals > 0) {
    frac_units = static_cast<int64_t>(frac * static_cast<double>(scale) + 0.5);
    if (frac_units >= scale) {
      int_mag += 1.0;
      frac_units = 0;
    }
  }

  std::string text = value < 0 ? "-" : (sign_flag ? " " : "");
  int field = width - decimals;
  if (int_mag > static_cast<double>(INT_MAX)) {
    // Wider than any field the screen has: shown as an overflowed field.
    int stars = field < 1 ? 1 : (field > 10 ? 10 : field);
    text.append(static_cast<size_t>(stars), '*');
    if (decimals > 0) text += "." + std::string(static_cast<size_t>(decimals), '*');
    *out = text;
    return;
  }

  char buf[16];
  int_to_str(static_cast<int>(int_mag), buf, field, 0);
  int_text = buf;
  for (size_t k = 0; k + 1 < int_text.size() && int_text[k] == '0'; ++k) int_text[k] = ' ';
  text += int_text;
  if (decimals > 0) {
    int_to_str(static_cast<int>(frac_units), buf, decimals, 0);
    frac_text = buf;
    text += "." + frac_text;
  }
  *out = text;
}

void get_path_with_path(std::string& out, const std::string& path) {
  if (path.empty()) {
    out.clear();
    return;
  }
  size_t search_end = path.size();
  if (path.size() >= 3 && path.back() == '/') --search_end;
  size_t slash = path.rfind('/', search_end - 1);
  size_t name_start = slash == std::string::npos ? 0 : slash + 1;
  out = path.substr(0, name_start);
}

void char_string_to_int_string(std::string* text) {
  if (text->empty() || (*text)[0] == '-' || (*text)[0] == '=') return;
  std::string coded;
  const std::string& s = *text;
  size_t k = 0;
  while (k < s.size()) {
    if (s[k] == ' ' || s[k] == '\t') {
      ++k;
      continue;
    }
    int n = 0;
    int len = 0;
    while (k < s.size() && len < 3 && s[k] != ' ' && s[k] != '\t') {
      n = n * 10 + weighted_digit(s[k]);
      ++k;
      ++len;
    }
    if (n < 0) continue;
    coded += static_cast<char>(n / 127 + 1);
    coded += static_cast<char>(n % 127 + 1);
  }
  *text = coded;
}

std::string UTL_format_number(const char* format, double value) {
  char buf[64];
  snprintf(buf, sizeof buf, format, value);
  return buf;
}

namespace {

// The digit rule of UTL_int_token, in the width of U.
template <typename U>
U int_token_bits(const char** cursor, const char* end) {
  const char* p = *cursor;
  while (p < end && (*p == '\t' || *p == ' ')) ++p;
  bool negative = false;
  if (p < end && *p == '-') {
    negative = true;
    ++p;
  }
  if (p < end && *p == '+') {
    negative = false;
    ++p;
  }
  // Tokens come from downloaded files: unsigned arithmetic wraps where a
  // signed total would overflow.
  U total = 0;
  while (p < end && *p != '\t' && *p != ' ' && *p != 0 && *p != '\r' && *p != '\n') {
    total = static_cast<U>(total * 10u + static_cast<U>(static_cast<unsigned char>(*p) - '0'));
    ++p;
  }
  *cursor = p;
  if (negative) total = static_cast<U>(0u - total);
  return total;
}

}  // namespace

int UTL_int_token(const char** cursor, const char* end) {
  return static_cast<int32_t>(int_token_bits<uint32_t>(cursor, end));
}

int64_t UTL_int64_token(const char** cursor, const char* end) {
  return static_cast<int64_t>(int_token_bits<uint64_t>(cursor, end));
}
