// The built-in images made textures, once, at start-up.
#pragma once

struct builtin_image;

// Stages each of the four images in scratch_array and loads it into its slot
// (389, 390, 391, then 388, the widget atlas, which stays staged for the
// interface colours).
void recall_ins_texes();

// Clears scratch_array and stages one image in it, each row as wide as the
// image's texture (the 1010-pixel button atlas in 1024-pixel rows).
void stage_builtin_image(const builtin_image& image);
