// Reading an image file whose kind is found from its content (BMP or PNG),
// and trying a name's image variants in turn.
#pragma once

#include <cstddef>

#include "TEX/image_desc.h"

// Reads the file at path: a bitmap when it starts "BM" (no power-of-two
// padding), else, or when that fails, a PNG (with follow_alpha). A DDS file
// is not read here (0). data and
// capacity work as for the readers: a null data lets the reader allocate up
// to capacity bytes, and the caller then owns the buffer. 1 on success. A
// damaged or foreign file ends the run unless on_bad is TEX_bad_file_fails.
int TEX_load_any(const char* path, unsigned char*& data, size_t capacity, int desired_format,
                 int pad_width, int follow_alpha, TEX_image_desc& desc,
                 TEX_bad_file on_bad = TEX_bad_file_fatal);

// Tries path with ".dds", ".png" and ".bmp" in place of its four-character
// extension (or after it, when it has none), in that order, and returns at
// the first that reads; else the last result. Its images come with scenery
// packages: a damaged or foreign file is logged and counts as one that does
// not read, so the next name is tried; it never ends the run.
int TEX_load_any_ext(const char* path, unsigned char*& data, size_t capacity, int desired_format,
                     int pad_width, int follow_alpha, TEX_image_desc& desc);

// The image at path (its variants as above) as GL_ALPHA rows without
// padding, for readers below the texture layer: pixels is the caller's to
// free with ::operator delete. 1 on success.
int TEX_load_alpha_ext(const char* path, unsigned char** pixels, int* width, int* height);
