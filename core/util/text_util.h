// Small text and number conversions every subsystem may call.
#pragma once

#include <cstdint>
#include <string>

// buffer: at least 12 bytes. min_digits above 10 counts as 10; plus writes "+"
// before a value of 0 or more.
void int_to_str(int value, char* buffer, int min_digits, int plus);

// -1 for text it does not accept (so also for the text "-1").
int str_to_int(const std::string& text);

// The integer token of every text reader: blanks (tab, space) skipped, an
// optional "-", an optional "+" that makes it positive again, then every
// byte up to a blank or line end (NUL, CR, LF) counted as a digit of value
// (byte - '0'), with no digit check; wraps where a signed total would
// overflow. Advances *cursor past the token; nothing at end gives 0.
int UTL_int_token(const char** cursor, const char* end);
// The same in 64 bits, for sizes.
int64_t UTL_int64_token(const char** cursor, const char* end);

// Fixed point with the integer part right-aligned in (width - decimals)
// characters; main thread only. NaN gives "NaN", infinities "inf"/"-inf", and
// an integer part beyond int range fills the field (and the decimals) with
// '*'. Decimals above 9 count as 9; negative decimals leave *out unchanged.
void flt_to_str(float value, std::string* out, int width, int decimals, int sign_flag);

// One number through a printf format that takes a double ("%1.0f"), for the
// lines of alerts.
std::string UTL_format_number(const char* format, double value);

// The folder part of a path, with its trailing "/".
void get_path_with_path(std::string& out, const std::string& path);

// Menu texts written as decimal codes become two-byte glyph codes.
void char_string_to_int_string(std::string* text);
