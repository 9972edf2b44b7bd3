// libFuzzer harness of the BMP reader. The first byte picks the format and
// padding; the rest is the file.
#include <cstddef>
#include <cstdint>
#include <stdexcept>

#include "TEX/bmp_read.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  if (size < 1) return 0;
  const int formats[3] = {GL_RGB, GL_RGBA, GL_ALPHA};
  const int format = formats[bytes[0] % 3];
  const int pad_pow2 = (bytes[0] >> 2) & 1, pad_width = (bytes[0] >> 4) * 16;
  unsigned char* data = nullptr;
  TEX_image_desc desc;
  try {
    if (TEX_load_bmp_mem("fuzz.bmp", bytes + 1, size - 1, data, size_t(4) << 20, format, pad_width,
                         pad_pow2, desc))
      ::operator delete(data);
  } catch (const std::runtime_error&) {
  }
  static unsigned char small[4096];
  unsigned char* into = small;
  try {
    TEX_load_bmp_mem("fuzz.bmp", bytes + 1, size - 1, into, sizeof small, format, pad_width,
                     pad_pow2, desc);
  } catch (const std::runtime_error&) {
  }
  return 0;
}
