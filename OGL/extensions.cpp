// The capability probe behind glExt: the implementation's strings and limits,
// the driver rules and command-line switches that turn capabilities off, and
// the extension entry points looked up by name.
//
// Contents
//   [SECTION] Helpers
//   [SECTION] Version and entry points
//   [SECTION] The capability probe
#include "OGL/extensions.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "core/alert.h"
#include "core/cmdline.h"
#include "core/globals.h"
#include "Files/io_utils.h"

OGL_extensions glExt;

// [SECTION] Helpers

namespace {

// The loaded OpenGL library: written once by init_entry_points.
void* g_gl_bundle = nullptr;

void* lookup_in_bundle(const char* name) {
  return g_gl_bundle ? dlsym(g_gl_bundle, name) : nullptr;
}

// The system version for the driver rules, as four hexadecimal digits
// (0x1048 = 10.4.8). Those rules name releases of another system; there is
// no version here they could apply to, so the query reports failure and
// none of them applies.
bool os_version_query(int* /*version*/) { return false; }
constexpr int kOsVersionLast10_3 = 0x103F;
constexpr int kOsVersion10_4_8 = 0x1048;

// A fragment-program limit this low marks the first generation of shader
// hardware.
constexpr GLint kFirstGenMaxInstructions = 99;

bool has(const char* haystack, const char* name) { return std::strstr(haystack, name) != nullptr; }

bool has_opt(const char* option) { return cmdline.has_option(option); }

const char* gl_string(GLenum which) {
  // A context that is not current (or a broken driver) returns NULL; every
  // reader below and in the log expects a string.
  const GLubyte* s = glGetString(which);
  return s ? reinterpret_cast<const char*>(s) : "";
}

// Looks every name of one group up; each missing one is logged and clears
// the group's flag, the others stay in place.
#define OGL_LOOKUP_ENTRY_POINT(type, name)                      \
  this->name = reinterpret_cast<type>(OGL_proc_lookup(#name));  \
  if (!this->name) {                                            \
    xer << "WARNING: extension missing proc " << #name << "\n"; \
    flag = 0;                                                   \
  }

// The versions known by their first three characters.
constexpr struct {
  const char* text;
  int number;
} kKnown[] = {{"1.1", 110}, {"1.2", 120}, {"1.3", 130}, {"1.4", 140},
              {"1.5", 150}, {"2.0", 200}, {"2.1", 210}};

// The renderer names of software renderers.
constexpr const char* kSoftware[] = {"GENERIC", "Generic", "generic", "Mesa GLX Indirect"};

// The maker's support address, derived from its web host.
std::string support_address() {
  std::string host = web_host;
  if (host.compare(0, 4, "www.") == 0) host.erase(0, 4);
  return "support@" + host;
}

}  // namespace

void* (*OGL_proc_lookup)(const char* name) = lookup_in_bundle;

void* aglGetProcAddress(const char* name) { return OGL_proc_lookup(name); }

// [SECTION] Version and entry points

int OGL_version_number(const char* version) {
  if (!version) version = "";
  int major = 0, minor = 0;
  if (std::sscanf(version, "%d.%d", &major, &minor) == 2) return major * 100 + minor * 10;
  for (const auto& k : kKnown)
    if (std::strncmp(version, k.text, 3) == 0) return k.number;
  return 100;
}

OGL_extensions::OGL_extensions() = default;

int OGL_extensions::init_entry_points() {
  return load_bundle_by_filename("OpenGL.framework", 1, &g_gl_bundle);
}

// [SECTION] The capability probe

// The limits read for the report; a limit the probe does not read stays 0.
struct OGL_extensions::probe_limits {
  GLint fp_instr = 0, fp_alu = 0, fp_tex = 0, fp_indir = 0, vp_instr = 0;
  GLint v_attribs = 0, v_uniforms = 0, varyings = 0, combined_units = 0, v_tex_units = 0;
  GLint f_uniforms = 0;
  const char* glsl_version = "n/a";
  GLfloat point_range[2] = {0.0f, 0.0f};
};

void OGL_extensions::init_extensions() {
  const int ver = identify();
  read_extension_flags(ver);
  apply_driver_rules();
  look_up_entry_points();
  apply_prerequisites();
  probe_limits limits;
  read_program_limits(limits);
  read_glsl_limits(limits);
  read_texture_limits(limits);
  apply_command_line();
  write_report(ver, limits);
  // GLSL samples from every image unit, not only the fixed-function ones.
  if (glsl_avail && ren.tex_image_units > ren.tex_units) ren.tex_units = ren.tex_image_units;
  check_hardware(ver);
}

int OGL_extensions::identify() {
  ren.gl_vendor = gl_string(GL_VENDOR);
  ren.gl_renderer = gl_string(GL_RENDERER);
  ren.gl_version = gl_string(GL_VERSION);
  ren.gl_extensions = gl_string(GL_EXTENSIONS);
  return OGL_version_number(ren.gl_version);
}

void OGL_extensions::read_extension_flags(int ver) {
  const char* ext = ren.gl_extensions;
  multitex_avail = ver >= 130 || has(ext, "GL_ARB_multitexture");
  tex_clamp_avail =
      ver >= 120 || has(ext, "GL_EXT_texture_edge_clamp") || has(ext, "GL_SGIS_texture_edge_clamp");
  add_env_avail =
      ver >= 130 || has(ext, "GL_ARB_texture_env_add") || has(ext, "GL_EXT_texture_env_add");
  combine_avail = ver >= 130 || has(ext, "GL_ARB_texture_env_combine") ||
                  has(ext, "GL_EXT_texture_env_combine");
  dis_fog_avail = has(ext, "GL_NV_fog_distance");
  tex_comp_avail = ver >= 130 || has(ext, "GL_ARB_texture_compression");
  vbo_avail = ver >= 150 || has(ext, "GL_ARB_vertex_buffer_object");
  pbo_avail = ver >= 210 || has(ext, "GL_ARB_pixel_buffer_object");
  vprog_avail = has(ext, "GL_ARB_vertex_program");
  fprog_avail = has(ext, "GL_ARB_fragment_program");
  automini_avail = ver >= 140 || has(ext, "GL_SGIS_generate_mipmap");
  aniso_avail = has(ext, "GL_EXT_texture_filter_anisotropic");
  fsaa_avail = ver >= 130 || has(ext, "GL_ARB_multisample");
  sprites_avail = ver >= 200 || has(ext, "GL_ARB_point_sprite");
  depth_tex_avail = ver >= 140 || has(ext, "GL_ARB_depth_texture");
  occlude_avail = ver >= 150 || has(ext, "GL_ARB_occlusion_query");
  shad_objs_avail = ver >= 200 || has(ext, "GL_ARB_shader_objects");
  vshader_avail = ver >= 200 || has(ext, "GL_ARB_vertex_shader");
  fshader_avail = ver >= 200 || has(ext, "GL_ARB_fragment_shader");
  gshader_avail = has(ext, "GL_EXT_geometry_shader4");
  glsl_avail = ver >= 200 || has(ext, "GL_ARB_shading_language_100");
  framebuf_avail = has(ext, "GL_EXT_framebuffer_object");
  sblend_avail = has(ext, "GL_EXT_blend_func_separate") && has(ext, "GL_EXT_framebuffer_object");
}

void OGL_extensions::apply_driver_rules() {
  // Occlusion queries.
  int os_version = 0;
  const bool os_known = os_version_query(&os_version);
  if (occlude_avail && os_known && os_version <= kOsVersionLast10_3 &&
      has(ren.gl_renderer, "NVIDIA NV34MAP OpenGL Engine") && !has_opt("--use_pixel_counters")) {
    xer << "Disabling occlusion queries on OS X 10.3 for nVidia."
        << "\n";
    occlude_avail = 0;
  }
  if (occlude_avail && os_known && os_version <= kOsVersion10_4_8 &&
      has(ren.gl_renderer, "NVIDIA GeForce 7300 GT OpenGL Engine") &&
      !has_opt("--use_pixel_counters")) {
    xer << "Disabling occlusion queries on OS X 10.4 for nVidia 7300 GT on 10.4.8."
        << "\n";
    occlude_avail = 0;
  }

  // GLSL.
  if (glsl_avail) {
    if (has(ren.gl_renderer, "Intel GMA 950 OpenGL Engine") && !has_opt("--use_glsl")) {
      xer << "Disabling GLSL for GMA 950."
          << "\n";
      glsl_avail = 0;
    } else if (has(ren.gl_vendor, "NVIDIA") && !has(ren.gl_extensions, "GL_NV_fragment_program2")) {
      first_gen_shaders = 1;
    }
  }
}

void OGL_extensions::look_up_entry_points() {
  if (vbo_avail) {
    int& flag = vbo_avail;
    OGL_ENTRY_POINTS_VBO(OGL_LOOKUP_ENTRY_POINT)
  }
  if (pbo_avail && !vbo_avail) {
    xer << "Disabling PBOs because VBOs are not available.  This probably means that VBOs are "
           "disabled for compatibility reasons."
        << "\n";
    pbo_avail = 0;
  }
  if (vprog_avail) {
    int& flag = vprog_avail;
    OGL_ENTRY_POINTS_VPROG(OGL_LOOKUP_ENTRY_POINT)
  }
  if (occlude_avail) {
    int& flag = occlude_avail;
    OGL_ENTRY_POINTS_OCCLUDE(OGL_LOOKUP_ENTRY_POINT)
  }
  if (shad_objs_avail) {
    int& flag = shad_objs_avail;
    OGL_ENTRY_POINTS_SHADOBJ(OGL_LOOKUP_ENTRY_POINT)
  }
  if (gshader_avail) {
    int& flag = gshader_avail;
    OGL_ENTRY_POINTS_GSHADER(OGL_LOOKUP_ENTRY_POINT)
  }
  if (vshader_avail) {
    int& flag = vshader_avail;
    OGL_ENTRY_POINTS_VSHADER(OGL_LOOKUP_ENTRY_POINT)
  }
  if (framebuf_avail) {
    int& flag = framebuf_avail;
    OGL_ENTRY_POINTS_FBO(OGL_LOOKUP_ENTRY_POINT)
  }
  if (tex_comp_avail) {
    int& flag = tex_comp_avail;
    OGL_ENTRY_POINTS_TEXCOMP(OGL_LOOKUP_ENTRY_POINT)
  }
  if (sblend_avail) {
    // The pair is looked up equation first, and the second only when the
    // first was found.
    int& flag = sblend_avail;
    OGL_LOOKUP_ENTRY_POINT(PFNGLBLENDEQUATIONSEPARATEEXTPROC, glBlendEquationSeparateEXT)
    if (glBlendEquationSeparateEXT) {
      OGL_LOOKUP_ENTRY_POINT(PFNGLBLENDFUNCSEPARATEEXTPROC, glBlendFuncSeparateEXT)
    }
  }
}

void OGL_extensions::apply_prerequisites() {
  if (!vprog_avail) fprog_avail = 0;
  if (!shad_objs_avail) fshader_avail = vshader_avail = gshader_avail = 0;
  if (!vshader_avail || !fshader_avail) glsl_avail = 0;
}

void OGL_extensions::read_program_limits(probe_limits& l) {
  if (fprog_avail) {
    glGetProgramivARB(GL_FRAGMENT_PROGRAM_ARB, GL_MAX_PROGRAM_NATIVE_INSTRUCTIONS_ARB, &l.fp_instr);
    glGetProgramivARB(GL_FRAGMENT_PROGRAM_ARB, GL_MAX_PROGRAM_NATIVE_ALU_INSTRUCTIONS_ARB,
                      &l.fp_alu);
    glGetProgramivARB(GL_FRAGMENT_PROGRAM_ARB, GL_MAX_PROGRAM_NATIVE_TEX_INSTRUCTIONS_ARB,
                      &l.fp_tex);
    glGetProgramivARB(GL_FRAGMENT_PROGRAM_ARB, GL_MAX_PROGRAM_NATIVE_TEX_INDIRECTIONS_ARB,
                      &l.fp_indir);
    if (l.fp_instr == 0 && !has_opt("--use_fprogs")) fprog_avail = 0;
    if (l.fp_instr <= kFirstGenMaxInstructions) first_gen_shaders = 1;
  }
  if (vprog_avail) {
    glGetProgramivARB(GL_VERTEX_PROGRAM_ARB, GL_MAX_PROGRAM_NATIVE_INSTRUCTIONS_ARB, &l.vp_instr);
    if (l.vp_instr == 0 && !has_opt("--use_vprogs")) vprog_avail = 0;
  }
}

// For the report only.
void OGL_extensions::read_glsl_limits(probe_limits& l) {
  if (vshader_avail) {
    glGetIntegerv(GL_MAX_VERTEX_ATTRIBS_ARB, &l.v_attribs);
    glGetIntegerv(GL_MAX_VERTEX_UNIFORM_COMPONENTS_ARB, &l.v_uniforms);
    glGetIntegerv(GL_MAX_VARYING_FLOATS_ARB, &l.varyings);
    glGetIntegerv(GL_MAX_COMBINED_TEXTURE_IMAGE_UNITS_ARB, &l.combined_units);
    glGetIntegerv(GL_MAX_VERTEX_TEXTURE_IMAGE_UNITS_ARB, &l.v_tex_units);
  }
  if (fshader_avail) glGetIntegerv(GL_MAX_FRAGMENT_UNIFORM_COMPONENTS_ARB, &l.f_uniforms);
  if (glsl_avail) {
    const GLubyte* s = glGetString(GL_SHADING_LANGUAGE_VERSION_ARB);
    l.glsl_version = s ? reinterpret_cast<const char*>(s) : "<null string>";
  }
}

// Into ren and the record.
void OGL_extensions::read_texture_limits(probe_limits& l) {
  ren.max_aniso = 1.0f;
  ren.tex_units = 0;
  glGetIntegerv(GL_MAX_TEXTURE_UNITS_ARB, &ren.tex_units);
  if (fprog_avail)
    glGetIntegerv(GL_MAX_TEXTURE_IMAGE_UNITS_ARB, &ren.tex_image_units);
  else
    ren.tex_image_units = ren.tex_units;
  if (vprog_avail)
    glGetIntegerv(GL_MAX_TEXTURE_COORDS_ARB, &ren.tex_coords);
  else
    ren.tex_coords = ren.tex_units;
  if (aniso_avail) glGetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, &ren.max_aniso);
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &max_tex_size);
  ren.max_tex_size = max_tex_size;
  glGetFloatv(GL_POINT_SIZE_RANGE, l.point_range);
  if (ren.tex_units == 0) ren.tex_units = 1;
}

// Each option only ever switches off.
void OGL_extensions::apply_command_line() {
  if (has_opt("--no_vbos")) vbo_avail = pbo_avail = 0;
  if (has_opt("--no_pbos")) pbo_avail = 0;
  if (has_opt("--no_sprites")) sprites_avail = 0;
  if (has_opt("--no_pixel_counters")) occlude_avail = 0;
  if (has_opt("--no_aniso_filtering")) {
    aniso_avail = 0;
    ren.max_aniso = 1.0f;
  }
  if (has_opt("--no_hw_mipmap")) automini_avail = 0;
  if (has_opt("--no_vshaders")) vprog_avail = 0;
  if (has_opt("--no_fshaders")) fprog_avail = 0;
  if (has_opt("--no_glsl")) glsl_avail = 0;
  if (has_opt("--no_fbos")) framebuf_avail = 0;
  if (has_opt("--no_threaded_ogl")) threaded_avail = 0;
  if (has_opt("--no_sblend")) sblend_avail = 0;
}

void OGL_extensions::write_report(int ver, const probe_limits& l) {
  xer << "OpenGL Vendor    : " << ren.gl_vendor << "\n";
  xer << "OpenGL Render    : " << ren.gl_renderer << "\n";
  xer << "OpenGL Version   : " << ren.gl_version << " (" << ver << ")\n";
  xer << "OpenGL Extensions: " << ren.gl_extensions << "\n";
  xer << "tex_clamp_avail  : " << tex_clamp_avail << "\n";
  xer << "add_env_avail    : " << add_env_avail << "\n";
  xer << "combine_avail    : " << combine_avail << "\n";
  xer << "dis_fog_avail    : " << dis_fog_avail << "\n";
  xer << "tex_comp_avail   : " << tex_comp_avail << "\n";
  xer << "vbo_avail        : " << vbo_avail << "\n";
  xer << "pbo_avail        : " << pbo_avail << "\n";
  xer << "vprog_avail      : " << vprog_avail << " (" << l.vp_instr << ")\n";
  xer << "fprog_avail      : " << fprog_avail << " (" << l.fp_instr << "/" << l.fp_alu << "/"
      << l.fp_tex << "/" << l.fp_indir << ")\n";
  xer << "automini_avail   : " << automini_avail << "\n";
  xer << "aniso_avail      : " << aniso_avail << "\n";
  xer << "fsaa_avail       : " << fsaa_avail << "\n";
  xer << "sprites_avail    : " << sprites_avail << "\n";
  xer << "depth_tex_avail  : " << depth_tex_avail << "\n";
  xer << "occlude_avail    : " << occlude_avail << "\n";
  xer << "shad_objs_avail  : " << shad_objs_avail << "\n";
  xer << "vshader_avail    : " << vshader_avail << " (" << l.v_attribs << "/" << l.v_uniforms << "/"
      << l.varyings << "/" << l.combined_units << "/" << l.v_tex_units << "/" << l.f_uniforms
      << ")\n";
  xer << "fshader_avail    : " << fshader_avail << " (" << l.f_uniforms << ")\n";
  xer << "gshader_avail    : " << gshader_avail << "\n";
  xer << "glsl_avail       : " << glsl_avail << " (" << l.glsl_version << ")\n";
  xer << "framebuf_avail   : " << framebuf_avail << "\n";
  xer << "sblend_avail     : " << sblend_avail << "\n";
  xer << "threaded_avail   : " << threaded_avail << "\n";
  xer << "first-gen shaders: " << first_gen_shaders << "\n";
  xer << "max tex units    : " << ren.tex_units << " (" << ren.tex_image_units << "/"
      << ren.tex_coords << ")\n";
  xer << "max iso filtering: " << ren.max_aniso << "\n";
  xer << "max texture size : " << max_tex_size << "\n";
  xer << "max point size   : " << l.point_range[1] << "\n";
  xer.flush();
}

// The hardware alerts: too old a card, or a software renderer.
void OGL_extensions::check_hardware(int ver) {
  if (!multitex_avail && ver < 110) {
    const bool force = has_opt("--force_run");
    const std::string site =
        "Go to " + web_host + " for system requirements and tech support information.";
    const std::string mail = "For tech support, email " + support_address();
    MACIBM_alert(wind_main,
                 "Your graphics hardware cannot support Nimbrel. Nimbrel requires a graphics card "
                 "with 16 MB of VRAM and multitexturing.",
                 force ? "Your system does not meet Nimbrel's hardware requirements."
                       : "First, try updating your graphics drivers.",
                 force ? "You have used the force-run command inline option to run Nimbrel anyway, "
                         "but it may crash."
                       : "If this does not help, check your graphics card specifications.",
                 force ? site.c_str() : mail.c_str(), force ? t_alert : t_exit);
  }

  // Software renderers: whole-string comparison, as the drivers name them.
  for (const char* name : kSoftware) {
    if (std::strcmp(ren.gl_renderer, name) != 0) continue;
    const std::string see =
        "See " + web_host + " for a list of the currently-compatible 3-D video cards.";
    MACIBM_alert(wind_main,
                 "I can not find a 3-D accelerator card that can handle OpenGL that has correctly "
                 "installed drivers.",
                 "I will still let you run the simulator, but the frame rate will NOT allow for a "
                 "good simulation.",
                 "To fly realistically you need another edition of Nimbrel or a 3-D accelerator "
                 "card that can handle OpenGL.",
                 see.c_str(), t_alert);
    break;
  }
}
