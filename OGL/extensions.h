// The OpenGL capability record: what the implementation behind the window can
// do, and the extension entry points it exports only by name. Every other
// part consults glExt before it uses an extension: a flag of 1 means the
// extension (or the GL version) promised the feature, every entry point of
// its group was found, its prerequisites held and no option or driver rule
// switched it off. An entry point whose group flag is 0 must not be called,
// even when its pointer is set.
#pragma once

#include "OGL/gl_entry_points.h"

class OGL_extensions {
 public:
  OGL_extensions();

  // Opens the system's OpenGL library, which aglGetProcAddress then searches.
  // 0 on success, else an error code (the loader has already alerted).
  int init_entry_points();
  // Probes the current context once: fills the flags, the limits of ren and
  // the entry points, applies the driver rules and the command-line options,
  // writes the capability report to the log and raises the hardware alerts.
  void init_extensions();
  // Forgets every flag, limit and entry point, as constructed; the library
  // stays open.
  void reset() { *this = OGL_extensions(); }

#define OGL_DECLARE_ENTRY_POINT(type, name) type name = nullptr;
  OGL_ENTRY_POINTS_ALL(OGL_DECLARE_ENTRY_POINT)
#undef OGL_DECLARE_ENTRY_POINT

  int multitex_avail = 0;
  int tex_clamp_avail = 0;
  int add_env_avail = 0;
  int combine_avail = 0;
  int dis_fog_avail = 0;
  int tex_comp_avail = 0;
  int vbo_avail = 0;
  int pbo_avail = 0;
  int vprog_avail = 0;
  int fprog_avail = 0;
  int automini_avail = 0;
  int aniso_avail = 0;
  int fsaa_avail = 0;
  int sprites_avail = 0;
  int depth_tex_avail = 0;
  int occlude_avail = 0;
  int shad_objs_avail = 0;
  int vshader_avail = 0;
  int fshader_avail = 0;
  int gshader_avail = 0;
  int glsl_avail = 0;
  int first_gen_shaders = 0;
  int framebuf_avail = 0;
  int sblend_avail = 0;
  // The one capability that starts on: only "--no_threaded_ogl" clears it.
  int threaded_avail = 1;

  int max_tex_size = 0;

 private:
  // The steps of init_extensions, in the order it takes them.
  struct probe_limits;
  int identify();  // the version number
  void read_extension_flags(int ver);
  void apply_driver_rules();
  void look_up_entry_points();
  void apply_prerequisites();
  void read_program_limits(probe_limits& limits);
  void read_glsl_limits(probe_limits& limits);
  void read_texture_limits(probe_limits& limits);
  void apply_command_line();
  void write_report(int ver, const probe_limits& limits);
  void check_hardware(int ver);
};

extern OGL_extensions glExt;

// Looks an entry point up by name in the library opened by
// init_entry_points; null when the library does not export it (or is not
// open yet).
void* aglGetProcAddress(const char* name);

// The lookup behind aglGetProcAddress and the probe; a test may wrap it to
// hide a name, as a driver that lacks an entry point would.
extern void* (*OGL_proc_lookup)(const char* name);

// The version number of a GL_VERSION string: "2.1 ..." gives 210, "1.10"
// gives 200; a string that does not start with two numbers joined by a full
// stop is looked up by its first three characters, else 100.
int OGL_version_number(const char* version);
