// Powers of two, for image buffers and textures whose sides must be one.
#pragma once

// The smallest power of two not below v; 1 for v of 1 or less.
template <typename T>
constexpr T pow2_at_least(T v) {
  T p = 1;
  while (p < v) p <<= 1;
  return p;
}
