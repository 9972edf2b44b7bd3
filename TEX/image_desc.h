// The image descriptor that every decoded image travels with, and the
// format-independent operations on such pixel buffers: sizes with or without
// the mipmap chain, box downscaling, vertical flips (also of S3TC blocks),
// chroma keying, bilinear compositing, and loading a file by its content.
//
// Uncompressed rows run bottom-up in memory (row 0 is the bottom of the
// picture), as OpenGL expects. No operation here allocates: the buffer belongs
// to whoever passes it.
#pragma once

#include <GL/gl.h>
#include <GL/glext.h>

#include <cstddef>

struct TEX_image_desc {
  int format = 0;    // GL_ALPHA, GL_RGB, GL_RGBA, GL_BGR, GL_BGRA or one of the four S3TC formats
  int dx = 0;        // width in pixels
  int dy = 0;        // height in pixels
  int row_pad = 0;   // bytes after each row; ignored for S3TC
  int has_mips = 0;  // 1: the full chain down to 1 x 1 follows level 0
};

// What a reader does with a damaged or foreign file: end the run through its
// fatal alert, as for the program's own images, or log it and return 0, as
// for images that come with third-party scenery.
enum TEX_bad_file { TEX_bad_file_fatal, TEX_bad_file_fails };

// The largest side any reader accepts and the bytes of the staging buffers the
// texture loader decodes into (2048 x 2048 pixels of 4 bytes).
enum { TEX_max_side = 2048 };
constexpr size_t TEX_max_image_bytes = size_t(TEX_max_side) * TEX_max_side * 4;

// Bytes per pixel of an uncompressed format; 0 for S3TC and unknown formats.
int TEX_bytes_per_pixel(int format);
bool TEX_is_s3tc(int format);
// libsquish's format flag (kDxt1, kDxt3, kDxt5) of an S3TC format; 0 otherwise.
int TEX_squish_flags(int format);

size_t TEX_bytes_needed_for_image(const TEX_image_desc& desc);
void TEX_downscale(TEX_image_desc& desc, unsigned char* data, int fx, int fy);
void TEX_flip_y(const TEX_image_desc& desc, unsigned char* data);

void nv_flip(int format, unsigned char* data, int dx, int dy, size_t bytes);
void nv_flip_blocks_dxtc1(unsigned char* blocks, int count);
void nv_flip_blocks_dxtc3(unsigned char* blocks, int count);
void nv_flip_blocks_dxtc5(unsigned char* blocks, int count);
void nv_flip_dxt5_alpha(unsigned char* block);
void nv_swap(unsigned char* a, unsigned char* b, size_t n);

// key: three bytes R, G, B; data: 4 bytes per pixel.
void TEX_chroma_key(const TEX_image_desc& desc, unsigned char* data, const unsigned char* key,
                    int tolerance);
void TEX_composite(const TEX_image_desc& src_desc, const TEX_image_desc& dst_desc,
                   const unsigned char* src_data, unsigned char* dst_data, float x1, float y1,
                   float x2, float y2);
