// The four built-in images staged and loaded into their slots at start-up,
// the widget atlas last.
#include "installer/ins_texes.h"

#include <cstring>

#include "core/util/pow2.h"
#include "draw/tman.h"
#include "installer/builtin_images.h"
#include "TEX/image_desc.h"

namespace {

// Colour mode 2 of the texture flag word: RGBA.
constexpr int kColourRgba = 2;
// The built-in images load at full resolution whatever the setting, RGBA,
// with the flag the images have always carried.
constexpr int kBuiltinImageFlags = tex_flag_carried | tex_flag_full_res | kColourRgba;
static_assert(kBuiltinImageFlags == 1282, "the flag word the built-in images load with");

}  // namespace

void stage_builtin_image(const builtin_image& image) {
  // The loader uploads whole texture rows from the staging buffer, so each
  // image row goes into a row as wide as the texture, and what the image
  // does not cover (the button atlas's right margin, the rows above a
  // background) must read as transparent black, not as the last image.
  const int row = pow2_at_least(image.dx);
  memset(scratch_array, 0, TEX_max_image_bytes);
  for (int y = 0; y < image.dy; ++y)
    memcpy(scratch_array + size_t(y) * row * 4, image.pixels + size_t(y) * image.dx * 4,
           size_t(image.dx) * 4);
  scratch_dx = image.dx;
  scratch_dy = image.dy;
}

void recall_ins_texes() {
  for (const builtin_image& image : kBuiltinImages) {
    stage_builtin_image(image);
    tman.load_texture(tex_fail_fatal, image.slot, kBuiltinImageFlags, tex_load_now,
                      "scratch_array:hardwired textures");
  }
}
