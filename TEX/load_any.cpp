// Image files of either kind: the kind from the file's first bytes, and the
// name variants (.dds, .png, .bmp) tried in turn.
#include "TEX/load_any.h"

#include <cstring>
#include <string>

#include "core/files/xmap.h"
#include "TEX/bmp_read.h"
#include "TEX/png_io.h"

int TEX_load_any(const char* path, unsigned char*& data, size_t capacity, int desired_format,
                 int pad_width, int follow_alpha, TEX_image_desc& desc, TEX_bad_file on_bad) {
  xmap_class map(path ? path : "");
  if (!map.map_begin) return 0;
  // A DDS holds compressed levels for the texture loader, not pixels in the
  // layout asked for here; the PNG reader would take it for a broken PNG.
  if (map.map_end - map.map_begin >= 4 && memcmp(map.map_begin, "DDS ", 4) == 0) return 0;
  if (map.map_end - map.map_begin > 1 && map.map_begin[0] == 'B' && map.map_begin[1] == 'M' &&
      TEX_load_bmp(path, map, data, capacity, desired_format, pad_width, 0, desc, on_bad))
    return 1;
  return TEX_load_png(path, map, data, capacity, desired_format, pad_width, 0, follow_alpha, desc,
                      on_bad);
}

int TEX_load_any_ext(const char* path, unsigned char*& data, size_t capacity, int desired_format,
                     int pad_width, int follow_alpha, TEX_image_desc& desc) {
  std::string base = path ? path : "";
  if (base.size() > 4 && base[base.size() - 4] == '.') base.erase(base.size() - 4);
  int result = 0;
  for (const char* ext : {".dds", ".png", ".bmp"}) {
    const std::string name = base + ext;
    result = TEX_load_any(name.c_str(), data, capacity, desired_format, pad_width, follow_alpha,
                          desc, TEX_bad_file_fails);
    if (result) return 1;
  }
  return result;
}

int TEX_load_alpha_ext(const char* path, unsigned char** pixels, int* width, int* height) {
  unsigned char* data = nullptr;
  TEX_image_desc desc;
  // No padding asked, so the rows come packed.
  if (!TEX_load_any_ext(path, data, TEX_max_image_bytes, GL_ALPHA, 0, 0, desc)) return 0;
  *pixels = data;
  *width = desc.dx;
  *height = desc.dy;
  return 1;
}
