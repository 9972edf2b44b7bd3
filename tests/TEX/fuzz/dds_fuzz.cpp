// libFuzzer harness of the DDS reader: whatever it accepts is copied out by
// the size it reports, flipped level by level and its top level decoded, so
// that a length check that is too generous reads past the input.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "TEX/dds_io.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  const unsigned char* levels = nullptr;
  TEX_image_desc desc;
  if (!TEX_load_dds_mem("fuzz.dds", bytes, size, levels, desc)) return 0;
  const size_t chain = TEX_bytes_needed_for_image(desc);
  std::vector<unsigned char> copy(levels, levels + chain);
  TEX_flip_y(desc, copy.data());
  if (TEX_is_s3tc(desc.format)) {
    std::vector<unsigned char> rgba(size_t(desc.dx) * desc.dy * 4);
    TEX_decode_s3tc(desc, {GL_RGBA, desc.dx, desc.dy, 0, 0}, copy.data(), rgba.data());
  }
  return 0;
}
