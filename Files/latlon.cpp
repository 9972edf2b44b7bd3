// Tile names of the scenery: the folder of ten by ten degrees and the
// one-degree tile, each as signed latitude and longitude digits.
#include "Files/latlon.h"

#include <cstdint>

namespace {

char digit(int64_t value) {
  return value >= 0 && value <= 9 ? static_cast<char>('0' + value) : '0';
}

// sign, then `width` digits of |value|, the highest first.
void put_signed(char* at, int64_t value, int width) {
  at[0] = value >= 0 ? '+' : '-';
  const int64_t a = value < 0 ? -value : value;
  int64_t scale = 1;
  for (int i = 1; i < width; ++i) scale *= 10;
  for (int i = 0; i < width; ++i, scale /= 10) {
    // The leading digit keeps whatever is above it, so a value too large for
    // the field shows "0" there instead of wrapping.
    at[1 + i] = digit(i == 0 ? a / scale : (a / scale) % 10);
  }
}

}  // namespace

std::string& return_latlon_str_dsf(int lat, int lon, std::string* out) {
  // Wide arithmetic: the arguments may be any int, and the folder rounds with
  // C's truncating division, as stored tile trees expect.
  const int64_t folder_lat = ((int64_t{lat} + 90) / 10) * 10 - 90;
  const int64_t folder_lon = ((int64_t{lon} + 180) / 10) * 10 - 180;
  out->assign(19, ' ');
  char* s = &(*out)[0];
  put_signed(s, folder_lat, 2);
  put_signed(s + 3, folder_lon, 3);
  s[7] = '/';
  put_signed(s + 8, lat, 2);
  put_signed(s + 11, lon, 3);
  out->replace(15, 4, ".dsf");
  return *out;
}
