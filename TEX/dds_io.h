// DDS reading and writing, and S3TC (DXT1, DXT3, DXT5) block compression.
// A DDS file carries its texture already compressed, with its mipmap chain,
// so the loader hands it to OpenGL without decoding.
#pragma once

#include <cstddef>

#include "core/files/xmap.h"
#include "TEX/image_desc.h"

// How thoroughly the colour end points of a block are fitted, least to most.
enum TEX_s3tc_quality {
  s3tc_range_fit = 0,
  s3tc_cluster_fit = 1,
  s3tc_iterative_cluster_fit = 2,
};

// Reads the header of the DDS in bytes[0, length) and points data at its
// first level (nothing is copied; rows stay top-down as the file has them).
// Accepted: DXT1, DXT3 and DXT5, 24-bit BGR and 32-bit BGRA with the standard
// channel masks; sides of 1 to 2048; with mipmaps, exactly the full chain
// down to 1 x 1; S3TC levels whose height is a multiple of 4 (or a single
// row of blocks); and only when the file holds every byte the levels need.
// 1 on success, 0 (quietly) otherwise. path is used in messages only.
int TEX_load_dds_mem(const char* path, const unsigned char* bytes, size_t length,
                     const unsigned char*& data, TEX_image_desc& desc);

inline int TEX_load_dds(const char* path, xmap_class& map, const unsigned char*& data,
                        TEX_image_desc& desc) {
  size_t length =
      map.map_begin && map.map_end > map.map_begin ? size_t(map.map_end - map.map_begin) : 0;
  return TEX_load_dds_mem(path, reinterpret_cast<const unsigned char*>(map.map_begin), length, data,
                          desc);
}

// Writes a GL_RGB image as DXT1, a GL_RGBA one as DXT5, with the full mipmap
// chain, at app_path + path. Any other format is a fatal alert. 0 for an
// empty size or a failed write (a partial file is removed), else 1.
int TEX_save_dds(const char* path, const unsigned char* data, const TEX_image_desc& desc);

// Compresses 4-byte pixels (GL_RGBA, or GL_BGRA) of the source's size and
// row padding into blocks of the destination's S3TC format. 0 for any other
// source format.
int TEX_encode_s3tc(const TEX_image_desc& src_desc, const TEX_image_desc& dst_desc,
                    const unsigned char* rgba, unsigned char* blocks, int quality);
// Decompresses blocks of the source's S3TC format and size into RGBA pixels
// laid out with the destination's row padding. 0 when the source is not S3TC.
int TEX_decode_s3tc(const TEX_image_desc& src_desc, const TEX_image_desc& dst_desc,
                    const unsigned char* blocks, unsigned char* rgba);
