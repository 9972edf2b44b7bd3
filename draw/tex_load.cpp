// One texture load, step by step: find and decode the file, pick the sizes
// for the setting and the hardware, upload into the slot.
//
// Contents
//   [SECTION] Image helpers
//   [SECTION] Sizes
//   [SECTION] Decoding
//   [SECTION] Uploading
//   [SECTION] The manager's entry into a load
#include "draw/tex_load.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "core/alert.h"
#include "core/cmdline.h"
#include "core/files/xmap.h"
#include "core/globals.h"
#include "core/util/pow2.h"
#include "draw/render_state.h"
#include "draw/tex_units.h"
#include "draw/tman.h"
#include "OGL/extensions.h"
#include "TEX/bmp_read.h"
#include "TEX/dds_io.h"
#include "TEX/image_desc.h"
#include "TEX/png_io.h"

alignas(16) static unsigned char scratch_array_temp_storage[TEX_max_image_bytes];
unsigned char* const scratch_array_temp = scratch_array_temp_storage;

// [SECTION] Image helpers

namespace {

bool is_pow2(int v) { return v > 0 && (v & (v - 1)) == 0; }

// Moves an image of old_w by old_h pixels (rows old_w wide) to rows new_w
// wide and new_h high, in place; what the old image does not cover becomes 0.
void relayout(unsigned char* data, int bpp, int old_w, int old_h, int new_w, int new_h) {
  const size_t old_pitch = size_t(old_w) * bpp, new_pitch = size_t(new_w) * bpp;
  const int rows = std::min(old_h, new_h);
  if (new_pitch <= old_pitch) {
    for (int i = 0; i < rows; ++i) memmove(data + i * new_pitch, data + i * old_pitch, new_pitch);
  } else {
    for (int i = rows - 1; i >= 0; --i) {
      memmove(data + i * new_pitch, data + i * old_pitch, old_pitch);
      memset(data + i * new_pitch + old_pitch, 0, new_pitch - old_pitch);
    }
  }
  if (new_h > rows) memset(data + rows * new_pitch, 0, (new_h - rows) * new_pitch);
}

// Gives every fully transparent pixel the mean colour of the visible pixels
// around it, so that filtering at the edge of a cut-out does not pull in
// whatever colour the transparent area happened to hold.
void alpha_bleed(unsigned char* data, int w, int h) {
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      unsigned char* p = data + (size_t(y) * w + x) * 4;
      if (p[3] != 0) continue;
      unsigned r = 0, g = 0, b = 0, n = 0;
      for (int yy = std::max(0, y - 2); yy <= std::min(h - 1, y + 2); ++yy) {
        for (int xx = std::max(0, x - 2); xx <= std::min(w - 1, x + 2); ++xx) {
          const unsigned char* q = data + (size_t(yy) * w + xx) * 4;
          if (q[3] == 0) continue;
          r += q[0];
          g += q[1];
          b += q[2];
          ++n;
        }
      }
      if (!n) continue;
      p[0] = (unsigned char)(r / n);
      p[1] = (unsigned char)(g / n);
      p[2] = (unsigned char)(b / n);
    }
  }
}

// Copies the chain of a DDS from the level the scale asks for and flips it to
// bottom-up rows. The chain is uploaded as the texture's levels from
// tex_dx x tex_dy down, so a top level of any other size (a side that is no
// power of two without the any-size flag) is refused: a 1100 x 1100 file
// would be read as a 2048 chain, past its end and past the buffer.
int dds_into_scratch(const TEX_image_desc& file, const unsigned char* levels, float scale,
                     int tex_dx, int tex_dy, unsigned char* dest) {
  TEX_image_desc chain{file.format, file.dx, file.dy, 0, 1};
  for (float f = 1.0f / scale; f > 1.0f; f *= 0.5f) {
    levels += TEX_bytes_needed_for_image({chain.format, chain.dx, chain.dy, 0, 0});
    chain.dx = std::max(1, chain.dx / 2);
    chain.dy = std::max(1, chain.dy / 2);
  }
  if (chain.dx != tex_dx || chain.dy != tex_dy) return 0;
  // The reader checked the whole chain against the file; this part of it
  // must also fit the staging buffer.
  const size_t bytes = TEX_bytes_needed_for_image(chain);
  if (bytes > TEX_max_image_bytes) return 0;
  memcpy(dest, levels, bytes);
  TEX_flip_y(chain, dest);
  return 1;
}

bool nearest_slot(int slot) {
  return slot == tex_slot_widgets || slot == tex_slot_nearest_1 || slot == tex_slot_nearest_2 ||
         slot == tex_slot_nearest_3 || (slot >= tex_slot_back_first && slot <= tex_slot_back_last);
}

}  // namespace

// [SECTION] Sizes

float scale_rat() {
  switch (mnw.tex_res) {
    case 5:
      return 1.0f;
    case 4:
      return 0.5f;
    case 3:
      return 0.25f;
    case 2:
      return 0.125f;
    case 1:
      return 0.0625f;
    case 0:
      return 0.03125f;
    default:
      return 1.0f;
  }
}

void check_dxy(float v, const char* name) {
  if (v < 1 || v > TEX_max_side)
    tman_fatal_with_value("Trying to create a texture either less than 1 or greater than 2048!",
                          name ? name : "", v);
}

float TEX_get_scale(const char* name, int dx, int dy, int /*ref*/, int flags, int& dx_out,
                    int& dy_out, int& tex_dx, int& tex_dy, int mode) {
  float s = scale_rat();
  if (flags & tex_flag_sharper) s = std::min(1.0f, std::max(0.0f, s * 2));
  if (flags & tex_flag_softer) s = std::min(1.0f, std::max(0.0f, s * 0.5f));
  if ((flags & tex_flag_full_res) || mode == tex_scale_staged) s = 1;
  if (dx > 0) s = std::max(s, 1.0f / dx);
  if (dy > 0) s = std::max(s, 1.0f / dy);
  // A context that reported no limit is taken as having none.
  const int max_size = glExt.max_tex_size;
  while (max_size > 0 && (s * dx > max_size || s * dy > max_size)) s *= 0.5f;
  dx_out = int(s * dx);
  dy_out = int(s * dy);
  if (flags & tex_flag_any_size) {
    tex_dx = dx_out;
    tex_dy = dy_out;
  } else {
    tex_dx = dx_out < 2 ? 1 : pow2_at_least(dx_out);
    tex_dy = dy_out < 2 ? 1 : pow2_at_least(dy_out);
  }
  check_dxy(dx, name);
  check_dxy(dy, name);
  check_dxy(dx_out, name);
  check_dxy(dy_out, name);
  check_dxy(tex_dx, name);
  check_dxy(tex_dy, name);
  return s;
}

// [SECTION] Decoding

std::vector<std::string> tex_file_variants(const std::string& name, bool no_dds) {
  const bool has_ext = name.size() > 4 && name[name.size() - 4] == '.';
  auto with = [&](const char* ext) {
    return has_ext ? name.substr(0, name.size() - 4) + ext : name;
  };
  std::vector<std::string> out;
  if (!no_dds) out.push_back(with(".dds"));
  if (no_dds) out.push_back(name);
  if (!no_dds) out.push_back(with(".dds"));
  out.push_back(with(".png"));
  out.push_back(with(".bmp"));
  return out;
}

namespace {

// Maps the first of the name's variants that exists; the name it found, or
// "" with the map empty.
std::string map_first_variant(const char* name, xmap_class& map) {
  const std::vector<std::string> variants = tex_file_variants(name, cmdline.has_option("--no_dds"));
  for (size_t i = 0; i < variants.size(); ++i) {
    const std::string& variant = variants[i];
    // The list repeats a name when there is no extension to swap (or the
    // swap gives the same name): a file that was missing a moment ago is not
    // looked for again.
    if (i > 0 && variant == variants[i - 1]) continue;
    map.retry(variant.c_str());
    if (map.map_begin) return variant;
  }
  return "";
}

// Decodes the mapped file by its content: a PNG or BMP into dest, a DDS in
// place (its levels then point into the map). 0 for anything else or a
// failed decode.
int decode_mapped(const std::string& used, const xmap_class& map, signed char bpp, int follow_alpha,
                  TEX_bad_file on_bad, unsigned char* dest, TEX_image_desc& desc,
                  const unsigned char*& dds_levels) {
  const size_t length = size_t(map.map_end - map.map_begin);
  const auto* bytes = reinterpret_cast<const unsigned char*>(map.map_begin);
  const int desired = bpp == 1 ? GL_ALPHA : bpp == 4 ? GL_RGBA : GL_RGB;
  unsigned char* data = dest;
  int ok = 0;
  if (length > 7 && memcmp(bytes, "DDS ", 4) == 0) {
    // Only a file with its whole chain: the upload takes the levels as they
    // are and makes none of its own for compressed data.
    ok = TEX_load_dds_mem(used.c_str(), bytes, length, dds_levels, desc) && desc.has_mips;
  } else if (length >= 2 && bytes[0] == 'B' && bytes[1] == 'M') {
    ok = TEX_load_bmp_mem(used.c_str(), bytes, length, data, TEX_max_image_bytes, desired, 0, 1,
                          desc, on_bad);
  } else if (length >= 8 && memcmp(bytes, "\x89PNG\r\n\x1a\n", 8) == 0) {
    ok = TEX_load_png_mem(used.c_str(), bytes, length, data, TEX_max_image_bytes, desired, 0, 1,
                          follow_alpha, desc, on_bad);
  }
  return ok;
}

// The bytes per pixel of a decoded format; bpp as it was for another.
void set_bpp_of_format(int format, signed char& bpp) {
  switch (format) {
    case GL_RGBA:
    case GL_BGRA:
    case GL_COMPRESSED_RGBA_S3TC_DXT1_EXT:
    case GL_COMPRESSED_RGBA_S3TC_DXT3_EXT:
    case GL_COMPRESSED_RGBA_S3TC_DXT5_EXT:
      bpp = 4;
      break;
    case GL_RGB:
    case GL_BGR:
    case GL_COMPRESSED_RGB_S3TC_DXT1_EXT:
      bpp = 3;
      break;
    case GL_ALPHA:
      bpp = 1;
      break;
    default:
      break;
  }
}

}  // namespace

int load_any_into_scratch(const char* name, int ref, int flags, int& format, int& has_mips,
                          signed char& bpp, int follow_alpha, TEX_bad_file on_bad, int& dx_out,
                          int& dy_out, int& tex_dx, int& tex_dy) {
  if (bpp < 1 || bpp > 4)
    tman_fatal_with_value("Trying to bind too low or high a number of bytes!", name, bpp);
  unsigned char* dest = (flags & tex_flag_scratch) ? scratch_array : scratch_array_temp;

  xmap_class map;
  const std::string used = map_first_variant(name, map);
  if (!map.map_begin) return 0;
  TEX_image_desc desc;
  const unsigned char* dds_levels = nullptr;
  if (!decode_mapped(used, map, bpp, follow_alpha, on_bad, dest, desc, dds_levels)) return 0;

  format = desc.format;
  has_mips = desc.has_mips;
  set_bpp_of_format(format, bpp);

  const float s = TEX_get_scale(name, desc.dx, desc.dy, ref, flags, dx_out, dy_out, tex_dx, tex_dy,
                                tex_scale_file);
  if (dds_levels) return dds_into_scratch(desc, dds_levels, s, tex_dx, tex_dy, dest);
  const int f = int(1.0f / s);
  // The reader padded the picture to power-of-two rows and columns with
  // zeros; that whole padded block is what shrinks, so the picture keeps its
  // place in the lower left, and it is then laid out in rows as wide as the
  // texture (a shrink or the any-size flag can leave other widths).
  int w = desc.dx + desc.row_pad / bpp;
  int h = pow2_at_least(desc.dy);
  if (f > 1) {
    TEX_image_desc whole{format, w, h, 0, 0};
    TEX_downscale(whole, dest, std::min(f, desc.dx), std::min(f, desc.dy));
    w = whole.dx;
    h = whole.dy;
  }
  relayout(dest, bpp, w, h, tex_dx, tex_dy);
  return 1;
}

int load_texture_io(tex_load_vars& v) {
  v.follow_alpha = 0;
  switch (v.flags & tex_flag_colour_mask) {
    case tex_colour_rgba:
      v.format = GL_RGBA;
      v.bpp = 4;
      break;
    case tex_colour_alpha:
      v.format = GL_ALPHA;
      v.bpp = 1;
      break;
    case tex_colour_rgb_follow_alpha:
      v.format = GL_RGB;
      v.bpp = 3;
      v.follow_alpha = 1;
      break;
    case tex_colour_rgba_follow_alpha:
      v.format = GL_RGBA;
      v.bpp = 4;
      v.follow_alpha = 1;
      break;
    case tex_colour_depth:
      v.format = GL_DEPTH_COMPONENT;
      v.bpp = 1;
      break;
    case tex_colour_invalid:
      MACIBM_alert(wind_main,
                   "BAD color enum for tman - see tman for valid colors!  We cannot pass 0.",
                   v.name.c_str(), "", "", t_exit);
      break;
    default:
      v.format = GL_RGB;
      v.bpp = 3;
      break;
  }
  v.has_mips = 0;
  int result = tex_io_failed;
  if (v.name.compare(0, tex_staged_prefix_len, tex_staged_prefix) == 0) {
    check_dxy(scratch_dx, v.name.c_str());
    check_dxy(scratch_dy, v.name.c_str());
    TEX_get_scale(v.name.c_str(), scratch_dx, scratch_dy, v.ref, v.flags, v.dx, v.dy, v.tex_dx,
                  v.tex_dy, tex_scale_staged);
    v.data = scratch_array;
    result = tex_io_staged;
  } else if (!v.name.empty()) {
    // A load that may fail quietly (a file the user's folders hold, such as a
    // preview's icon) takes a damaged or foreign image as no image; the
    // program's own images stay fatal.
    const TEX_bad_file on_bad =
        v.fail_mode == tex_fail_none ? TEX_bad_file_fails : TEX_bad_file_fatal;
    if (load_any_into_scratch(v.name.c_str(), v.ref, v.flags, v.format, v.has_mips, v.bpp,
                              v.follow_alpha, on_bad, v.dx, v.dy, v.tex_dx, v.tex_dy)) {
      v.data = scratch_array_temp;
      result = tex_io_file;
    }
  }
  if (v.flags & tex_flag_scratch) v.data = scratch_array;
  return result;
}

// [SECTION] Uploading

namespace {

// What one upload does, decided before any OpenGL call.
struct upload_plan {
  bool compressed = false;
  bool bleed = false;    // fill transparent texels from their neighbours
  bool hw_mips = false;  // OpenGL makes the levels
  bool sw_mips = false;  // the loader shrinks each level itself
  bool nearest = false;
  bool replace = false;  // the texture keeps its storage: sub-image uploads
  GLint internal = 0;
};

void check_slot(const tman_class& t, int ref) {
  if (ref < 0 || size_t(ref) >= t.ref_dat.size())
    MACIBM_alert(wind_main, "(manual_ref>=ref_dat.size()!",
                 "maybe we tried to load some texture thatis not avail, and we have not loaded the "
                 "t_blank_gray yet?",
                 "", "", t_exit);
}

// The failed load: the slot shows the blank texture; with none registered
// it shows no texture at all and holds no video memory. Then the fail mode's
// flag, alert and log line.
int record_failure(tman_class& t, ref_dat_struct& r, const tex_load_vars& v) {
  ref_dat_struct blank;
  if (size_t(tex_slot_blank) < t.ref_dat.size() && v.ref != tex_slot_blank &&
      t.ref_dat[tex_slot_blank].load_time == tex_load_now)
    blank = t.ref_dat[tex_slot_blank];
  if (r.tex == v.ref && v.ref != tex_slot_blank) TEX_delete_texture(r.tex);
  if (r.vram) --t.loaded_count;
  r.tex = blank.tex;
  r.dx = blank.dx;
  r.dy = blank.dy;
  r.tex_dx = blank.tex_dx;
  r.tex_dy = blank.tex_dy;
  if (blank.format) r.format = blank.format;
  r.vram = 0;
  r.load_time = tex_load_now;
  if (v.fail_mode == tex_fail_none) return 0;
  int* flag = v.fail_mode == tex_fail_scenery     ? &t.scene_load_fail
              : v.fail_mode == tex_fail_plane     ? &t.plane_load_fail
              : v.fail_mode == tex_fail_installer ? &t.instl_load_fail
                                                  : nullptr;
  if (flag && *flag == 0) *flag = 1;
  if (v.fail_mode == tex_fail_fatal) {
    const std::string ask =
        "Please get a new download of the installer from " + web_host + ". The missing file is:";
    MACIBM_alert(wind_main, "Trying to load a texture that you do not have!",
                 "This smacks of a mis-installed copy of Nimbrel!", ask.c_str(), v.name.c_str(),
                 t_exit);
  }
  if (xer.is_open()) xer << "WARNING: we are missing the texture: " << v.name << "\n";
  return 0;
}

GLint internal_format(const tex_load_vars& v, bool compressed) {
  GLint internal = v.format == GL_BGRA ? GL_RGBA : v.format == GL_BGR ? GL_RGB : v.format;
  if (v.flags & tex_flag_float16) {
    if (internal == GL_RGB)
      internal = GL_RGB16F_ARB;
    else if (internal == GL_RGBA)
      internal = GL_RGBA16F_ARB;
    else if (internal == GL_ALPHA)
      internal = GL_ALPHA16F_ARB;
  }
  if (v.format == GL_DEPTH_COMPONENT) internal = GL_DEPTH_COMPONENT24;
  if ((v.flags & tex_flag_sized8) && !compressed && !v.has_mips) {
    if (internal == GL_RGB)
      internal = GL_RGB8;
    else if (internal == GL_RGBA)
      internal = GL_RGBA8;
  }
  return internal;
}

upload_plan plan_upload(const ref_dat_struct& r, const tex_load_vars& v, int io_result) {
  upload_plan p;
  p.compressed = TEX_is_s3tc(v.format);
  p.bleed = v.bpp == 4 && io_result == tex_io_file && !p.compressed && !v.has_mips;
  p.hw_mips = (v.flags & tex_flag_mipmap) && glExt.automini_avail && !p.compressed &&
              !(v.flags & tex_flag_sized8);
  p.sw_mips = (v.flags & tex_flag_mipmap) && !v.has_mips && !p.hw_mips;
  p.nearest = nearest_slot(v.ref);
  p.replace = r.load_time == tex_load_now && r.format == v.format && int(r.tex_dx) == v.tex_dx &&
              int(r.tex_dy) == v.tex_dy && r.tex == v.ref;
  p.internal = internal_format(v, p.compressed);
  return p;
}

// A mipmapped texture is counted a third larger.
double mip_factor(int flags) { return (flags & tex_flag_mipmap) ? 1.33 : 1.0; }

void record_upload(tman_class& t, ref_dat_struct& r, const tex_load_vars& v) {
  if (!r.vram) ++t.loaded_count;
  r.name = v.name;
  r.load_time = tex_load_now;
  r.tex = v.ref;
  r.dx = float(v.dx);
  r.dy = float(v.dy);
  r.tex_dx = float(v.tex_dx);
  r.tex_dy = float(v.tex_dy);
  r.format = v.format;
  r.flags = v.flags;
  r.vram = int(double(v.tex_dx) * v.tex_dy * v.bpp * mip_factor(v.flags));
}

void check_sides(const tex_load_vars& v) {
  if (!(v.flags & tex_flag_any_size)) {
    if (!is_pow2(v.tex_dx) || !is_pow2(v.tex_dy)) {
      if (!is_pow2(v.tex_dx))
        MACIBM_alert(wind_main, "load_tex: Trying to read a texture that is not a power of 2!",
                     v.name.c_str(), "", "", t_exit);
      if (!is_pow2(v.tex_dy))
        MACIBM_alert(wind_main, "load_tex: Trying to read a texture that is not a power of 2!",
                     v.name.c_str(), "", "", t_exit);
    }
  }
  check_dxy(v.tex_dy, v.name.c_str());
}

// Binds the slot on unit 0, with 2-D texturing on for the bind when the
// render-state cache has every unit off.
void bind_for_upload(int ref) {
  const int units_before = num_units;
  if (units_before == 0) {
    glEnable(GL_TEXTURE_2D);
    num_units = 1;
  }
  TEX_bind_ref(ref, 0, tex_env_modulate);
  if (units_before == 0) {
    glDisable(GL_TEXTURE_2D);
    num_units = units_before;
  }
}

// Level 0, then the file's own levels or the ones shrunk here, down to 1 x 1.
void upload_levels(const tex_load_vars& v, const upload_plan& p) {
  // Rows of 3 or 1 bytes are not 4-byte aligned.
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  if (p.hw_mips) glTexParameteri(GL_TEXTURE_2D, GL_GENERATE_MIPMAP, GL_TRUE);
  const GLenum upload_format = v.format;
  TEX_image_desc level{v.format, v.tex_dx, v.tex_dy, 0, 0};
  unsigned char* pixels = v.data;
  for (int lod = 0;; ++lod) {
    const size_t bytes = TEX_bytes_needed_for_image(level);
    if (p.compressed) {
      if (p.replace)
        glCompressedTexSubImage2D(GL_TEXTURE_2D, lod, 0, 0, level.dx, level.dy, upload_format,
                                  GLsizei(bytes), pixels);
      else
        glCompressedTexImage2D(GL_TEXTURE_2D, lod, upload_format, level.dx, level.dy, 0,
                               GLsizei(bytes), pixels);
    } else if (p.replace) {
      glTexSubImage2D(GL_TEXTURE_2D, lod, 0, 0, level.dx, level.dy, upload_format, GL_UNSIGNED_BYTE,
                      pixels);
    } else {
      glTexImage2D(GL_TEXTURE_2D, lod, p.internal, level.dx, level.dy, 0, upload_format,
                   GL_UNSIGNED_BYTE, pixels);
    }
    if (level.dx <= 1 && level.dy <= 1) break;
    if (v.has_mips) {
      pixels += bytes;
      level.dx = std::max(1, level.dx / 2);
      level.dy = std::max(1, level.dy / 2);
    } else if (p.sw_mips) {
      TEX_downscale(level, pixels, level.dx > 1 ? 2 : 1, level.dy > 1 ? 2 : 1);
    } else {
      break;
    }
  }
}

// A compressed texture counts the bytes OpenGL reports it holds.
void measure_compressed(ref_dat_struct& r, const tex_load_vars& v) {
  GLint is_compressed = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_COMPRESSED_ARB, &is_compressed);
  if (!is_compressed) return;
  GLint size = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_COMPRESSED_IMAGE_SIZE_ARB, &size);
  r.vram = int(double(size) * mip_factor(v.flags));
}

void set_sampling(const tex_load_vars& v, bool nearest) {
  const GLint clamp = glExt.tex_clamp_avail ? GL_CLAMP_TO_EDGE : GL_CLAMP;
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S,
                  (v.flags & (tex_flag_clamp | tex_flag_clamp_s)) ? clamp : GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, (v.flags & tex_flag_clamp) ? clamp : GL_REPEAT);
  if (glExt.aniso_avail) glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, 1.0f);
  if (nearest) {
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  } else {
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER,
                    (v.flags & tex_flag_mipmap) ? GL_LINEAR_MIPMAP_LINEAR : GL_LINEAR);
  }
  if (v.format == GL_DEPTH_COMPONENT) {
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_COMPARE_MODE_ARB, GL_COMPARE_R_TO_TEXTURE_ARB);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_COMPARE_FUNC_ARB, GL_LEQUAL);
  }
}

}  // namespace

int load_texture_ogl(tex_load_vars& v, int io_result) {
  tman_class& t = tman;
  check_slot(t, v.ref);
  ref_dat_struct& r = t.ref_dat[size_t(v.ref)];
  if (io_result == tex_io_failed) return record_failure(t, r, v);

  const upload_plan plan = plan_upload(r, v, io_result);
  record_upload(t, r, v);
  if (plan.bleed) alpha_bleed(v.data, v.tex_dx, v.tex_dy);
  check_sides(v);
  bind_for_upload(v.ref);
  upload_levels(v, plan);
  if (plan.compressed) measure_compressed(r, v);
  set_sampling(v, plan.nearest);
  return v.ref;
}

// [SECTION] The manager's entry into a load

int tman_class::load_texture_int(int fail_mode, int ref, int flags, const char* name,
                                 int deferred) {
  UTL_scoped_lock hold(&lock);
  // A pending background decode owns the decode buffer: it finishes and is
  // uploaded before a file load reuses the buffer.
  if (name && strncmp(name, tex_staged_prefix, tex_staged_prefix_len) != 0)
    load_scenery_async_finalize();
  if (flags < 0 || flags >= tex_flag_limit)
    tman_fatal_with_value("Trying to bind an invalid filter type!", name ? name : "", flags);
  tex_load_vars v;
  v.fail_mode = fail_mode;
  v.ref = ref;
  v.flags = flags;
  v.deferred = deferred;
  v.name = name ? name : "";
  const int io = load_texture_io(v);
  return load_texture_ogl(v, io);
}
