// Turns a committed PNG into the raw pixels the program carries: 8-bit RGBA,
// bottom row first (a PNG stores its top row first), no header.
//
// Usage: embed_image INPUT.png OUTPUT.rgba WIDTH HEIGHT
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv) {
  if (argc != 5) {
    fprintf(stderr, "usage: embed_image INPUT.png OUTPUT.rgba WIDTH HEIGHT\n");
    return 2;
  }
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, argv[1])) {
    fprintf(stderr, "embed_image: %s: %s\n", argv[1], image.message);
    return 1;
  }
  const unsigned w = unsigned(atoi(argv[3])), h = unsigned(atoi(argv[4]));
  if (image.width != w || image.height != h) {
    fprintf(stderr, "embed_image: %s is %ux%u, expected %ux%u\n", argv[1], image.width,
            image.height, w, h);
    png_image_free(&image);
    return 1;
  }
  image.format = PNG_FORMAT_RGBA;
  std::vector<unsigned char> px(PNG_IMAGE_SIZE(image));
  // A negative stride makes libpng fill the buffer from its last row up.
  if (!png_image_finish_read(&image, nullptr, px.data(), -png_int_32(PNG_IMAGE_ROW_STRIDE(image)),
                             nullptr)) {
    fprintf(stderr, "embed_image: %s: %s\n", argv[1], image.message);
    return 1;
  }
  FILE* out = fopen(argv[2], "wb");
  if (!out || fwrite(px.data(), 1, px.size(), out) != px.size() || fclose(out) != 0) {
    fprintf(stderr, "embed_image: cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
