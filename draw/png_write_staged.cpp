// Saving the staging buffer as a PNG, beside the texture manager that owns
// the buffer.
#include "draw/tman.h"
#include "TEX/png_io.h"

// A size that would read past the staging buffer writes nothing.
int write_png_to_disk(const char* path, int width, int height, int channels) {
  TEX_image_desc desc;
  desc.format = channels == 4 ? GL_RGBA : GL_RGB;
  desc.dx = width;
  desc.dy = height;
  if (width < 1 || height < 1 ||
      size_t(width) * size_t(height) * (channels == 4 ? 4 : 3) > TEX_max_image_bytes)
    return 0;
  return TEX_save_png(path, desc, scratch_array);
}
