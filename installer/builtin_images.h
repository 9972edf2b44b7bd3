// The four images compiled into the program, and the terms of use. Images are
// 8-bit RGBA, four bytes a pixel,
// rows bottom-up (row 0 is the bottom of the picture), no header. They are
// drawn by tools/images/make_images, reviewed as the PNGs in assets/images/,
// and embedded from those PNGs at build time.
#pragma once

#include <cstddef>

#include "draw/tman.h"

extern "C" {
// The installer's button and icon atlas, 1010 x 764 (slot 389). Buttons
// stack three looks downwards (normal at v, hover at v - (h + 1), pressed at
// v - 2 (h + 1)); icon cell i is 64 x 64 at u = 64 (i mod 8), v = 66 + 64 (i / 8);
// the panel element of frame kind 20 is 41 x 41 at (774, 78). It is staged in
// rows 1024 pixels wide, as wide as its texture.
extern const unsigned char t_installer_dat[];
// The installer screen's background and a second one, 1024 x 768 (slots 390, 391).
extern const unsigned char t_ins_back_1_dat[];
extern const unsigned char t_ins_back_2_dat[];
// The widget atlas with the interface font, 512 x 512 (slot 388).
extern const unsigned char t_interface_dat[];
// The terms of use (assets/terms.txt), plain UTF-8 text ending in a zero.
extern const char t_terms_txt[];
}

struct builtin_image {
  const unsigned char* pixels;
  int dx, dy;
  int slot;
};

// In the order the start-up loads them: the widget atlas last, so that its
// pixels stay staged for the interface colours.
inline const builtin_image kBuiltinImages[4] = {
    {t_installer_dat, 1010, 764, tex_slot_installer},
    {t_ins_back_1_dat, 1024, 768, tex_slot_ins_back_1},
    {t_ins_back_2_dat, 1024, 768, tex_slot_ins_back_2},
    {t_interface_dat, 512, 512, tex_slot_widgets},
};

inline size_t builtin_image_bytes(const builtin_image& image) {
  return size_t(image.dx) * image.dy * 4;
}
