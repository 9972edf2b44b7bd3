// Inside one texture load of the texture manager: find the image file,
// decode it into a staging buffer, choose the picture and texture sizes for
// the resolution setting and the hardware, and upload it into the slot's
// texture, or record the failure. Runs under the manager's lock.
#pragma once

#include <string>
#include <vector>

#include "TEX/image_desc.h"

// One load's work record.
struct tex_load_vars {
  int fail_mode = 0;
  int ref = 0;
  int flags = 0;
  int deferred = 0;
  int format = 0;              // pixel format found
  int has_mips = 0;            // the file carries its mipmap chain
  signed char bpp = 0;         // bytes per pixel
  int follow_alpha = 0;        // colour modes 4 and 5: the file chooses RGB or RGBA
  int dx = 0, dy = 0;          // the picture
  int tex_dx = 0, tex_dy = 0;  // the texture
  std::string name;
  // tex_dx by tex_dy pixels, rows bottom-up, each row tex_dx pixels wide.
  unsigned char* data = nullptr;
};

// The private staging buffer that file decoding uses (2048 x 2048 x 4).
extern unsigned char* const scratch_array_temp;

// The texture-resolution factor of the setting mnw.tex_res: 5 is full size,
// each step below halves.
float scale_rat();
// A size below 1 or above 2048 is fatal.
void check_dxy(float v, const char* name);
// Where the image of a scale comes from.
enum tex_scale_source {
  tex_scale_staged = 1,  // the staged image: never reduced for the setting
  tex_scale_file = 2,
};
// The scale for an image of dx by dy and the picture and texture sizes that
// follow; mode is a tex_scale_source.
float TEX_get_scale(const char* name, int dx, int dy, int ref, int flags, int& dx_out, int& dy_out,
                    int& tex_dx, int& tex_dy, int mode);

// The file names a load tries, in order (duplicates kept: each is a try).
std::vector<std::string> tex_file_variants(const std::string& name, bool no_dds);

// Decodes the first of the name's variants that exists into the staging
// buffer (scratch_array_temp, or scratch_array with the scratch flag), scaled
// and laid out as the texture will be. 1 on success, 0 on failure (a damaged
// or foreign file too, when on_bad is TEX_bad_file_fails; else it ends the run).
int load_any_into_scratch(const char* name, int ref, int flags, int& format, int& has_mips,
                          signed char& bpp, int follow_alpha, TEX_bad_file on_bad, int& dx_out,
                          int& dy_out, int& tex_dx, int& tex_dy);

// What a decode gave.
enum tex_io_result {
  tex_io_failed = 0,
  tex_io_staged = 1,  // the image staged in scratch_array
  tex_io_file = 2,
};
// Decode: a tex_io_result. Needs no OpenGL.
int load_texture_io(tex_load_vars& vars);
// Upload (or record the failure); returns the slot, or 0 on failure.
int load_texture_ogl(tex_load_vars& vars, int io_result);
