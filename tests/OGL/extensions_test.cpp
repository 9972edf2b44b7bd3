// The capability probe on a real Mesa context. Mesa's own overrides
// (MESA_GL_VERSION_OVERRIDE, MESA_EXTENSION_OVERRIDE, force_gl_vendor,
// force_gl_renderer) stand in for other drivers; Mesa reads them once per
// process when a context is made, so those cases run in a child process.
//
// This Mesa's extension override has a quirk the cases lean on: a list of
// removals alone also drops every extension Mesa always offers (multitexture,
// buffer objects, framebuffer objects...), while a list with one addition
// keeps them whatever it removes. So an "old driver" is a removal list.
//
// Contents
//   [SECTION] Helpers
//   [SECTION] The probe on this driver
//   [SECTION] Other drivers
//   [SECTION] No context
#include "OGL/extensions.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "core/cmdline.h"
#include "core/globals.h"
#include "tests/support/gl_context.h"
#include "tests/support/test_support.h"

namespace {

// [SECTION] Helpers

using testing_support::GLContext;
using testing_support::make_temp_dir;
using testing_support::read_file;

void set_options(std::vector<const char*> options) {
  options.insert(options.begin(), "nimbrel_installer");
  cmdline.clear();
  cmdline.init_unix(int(options.size()), options.data());
}

std::map<std::string, int> flags_of(const OGL_extensions& e) {
  return {{"multitex", e.multitex_avail},
          {"vbo", e.vbo_avail},
          {"pbo", e.pbo_avail},
          {"vprog", e.vprog_avail},
          {"fprog", e.fprog_avail},
          {"aniso", e.aniso_avail},
          {"occlude", e.occlude_avail},
          {"shad_objs", e.shad_objs_avail},
          {"vshader", e.vshader_avail},
          {"fshader", e.fshader_avail},
          {"gshader", e.gshader_avail},
          {"glsl", e.glsl_avail},
          {"first_gen", e.first_gen_shaders},
          {"framebuf", e.framebuf_avail},
          {"sblend", e.sblend_avail},
          {"threaded", e.threaded_avail},
          {"sprites", e.sprites_avail},
          {"automini", e.automini_avail},
          {"tex_comp", e.tex_comp_avail},
          {"depth_tex", e.depth_tex_avail}};
}

// Opens the log in a fresh folder; returns its path.
std::string open_log(const char* tag) {
  std::string log = make_temp_dir(tag) + "Log.txt";
  if (xer.is_open()) xer.close();
  xer.open(log);
  return log;
}

struct OverrideCase {
  const char* what;
  std::vector<std::pair<const char*, const char*>> env;
  std::vector<const char*> options;
  std::map<std::string, int> want;
  std::vector<const char*> log_has;
  std::vector<const char*> log_lacks;
};

// The child: makes the context under the overrides, probes, and exits 0
// when every expectation holds, else 1 with the differences on stderr.
void probe_child(const OverrideCase& c) {
  for (const auto& kv : c.env) setenv(kv.first, kv.second, 1);
  std::string log = open_log("ogl_override");
  // The child made the folder, so the child removes it: _exit runs no clean-up.
  auto finish = [&](int code) {
    xer.close();
    std::error_code ignored;
    std::filesystem::remove_all(std::filesystem::path(log).parent_path(), ignored);
    _exit(code);
  };
  GLContext gl(64, 64);
  if (!gl.ok()) {
    fprintf(stderr, "no context: %s\n", gl.error().c_str());
    finish(2);
  }
  set_options(c.options);
  if (glExt.init_entry_points() != 0) finish(2);
  glExt.init_extensions();
  xer.flush();
  std::string text = read_file(log);
  bool ok = true;
  auto flags = flags_of(glExt);
  for (const auto& kv : c.want) {
    if (flags.at(kv.first) != kv.second) {
      fprintf(stderr, "%s is %d, want %d\n", kv.first.c_str(), flags.at(kv.first), kv.second);
      ok = false;
    }
  }
  for (const char* s : c.log_has)
    if (text.find(s) == std::string::npos) {
      fprintf(stderr, "log lacks \"%s\"\n", s);
      ok = false;
    }
  for (const char* s : c.log_lacks)
    if (text.find(s) != std::string::npos) {
      fprintf(stderr, "log has \"%s\"\n", s);
      ok = false;
    }
  if (!ok) fprintf(stderr, "--- log:\n%s\n", text.c_str());
  finish(ok ? 0 : 1);
}

// [SECTION] The probe on this driver

TEST(ExtensionsTest, VersionNumbers) {
  struct Case {
    const char* text;
    int number;
  } cases[] = {{"2.1 NVIDIA-1.5.36", 210},
               {"1.5", 150},
               {"1.10", 200},
               {"4.5 (Compatibility Profile) Mesa 22.3.6", 450},
               {"1.3 Mesa", 130},
               {"OpenGL ES", 100},
               {"", 100},
               {"3", 100}};
  for (const Case& c : cases) EXPECT_EQ(OGL_version_number(c.text), c.number) << c.text;
  EXPECT_EQ(OGL_version_number(nullptr), 100);
}

TEST(ExtensionsTest, ProbesMesaAndReports) {
  std::string log = open_log("ogl_probe");
  GLContext gl(64, 64);
  ASSERT_TRUE(gl.ok()) << gl.error();
  set_options({});
  // Flags that only a probe raises (first-generation shaders) must come from
  // this one, not an earlier one in this process.
  glExt.reset();
  ASSERT_EQ(glExt.init_entry_points(), 0);
  glExt.init_extensions();
  xer.flush();

  // The strings are GL's own, not copies.
  EXPECT_EQ(ren.gl_vendor, reinterpret_cast<const char*>(glGetString(GL_VENDOR)));
  EXPECT_EQ(ren.gl_renderer, reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
  const std::string ext = ren.gl_extensions;
  const int ver = OGL_version_number(ren.gl_version);
  ASSERT_GE(ver, 210) << "the probe expects a modern Mesa";

  // Above every version threshold, only the flags without one follow the
  // extension string.
  EXPECT_EQ(glExt.multitex_avail, 1);
  EXPECT_EQ(glExt.vbo_avail, 1);
  EXPECT_EQ(glExt.pbo_avail, 1);
  EXPECT_EQ(glExt.glsl_avail, 1);
  EXPECT_EQ(glExt.threaded_avail, 1);
  EXPECT_EQ(glExt.aniso_avail,
            int(ext.find("GL_EXT_texture_filter_anisotropic") != std::string::npos));
  EXPECT_EQ(glExt.gshader_avail, int(ext.find("GL_EXT_geometry_shader4") != std::string::npos));
  EXPECT_EQ(glExt.dis_fog_avail, int(ext.find("GL_NV_fog_distance") != std::string::npos));
  EXPECT_EQ(glExt.framebuf_avail, int(ext.find("GL_EXT_framebuffer_object") != std::string::npos));

  // The entry points reach the driver: a buffer made and bound through them.
  ASSERT_NE(glExt.glGenBuffersARB, nullptr);
  GLuint buf = 0;
  glExt.glGenBuffersARB(1, &buf);
  glExt.glBindBufferARB(GL_ARRAY_BUFFER_ARB, buf);
  GLint bound = 0;
  glGetIntegerv(GL_ARRAY_BUFFER_BINDING_ARB, &bound);
  EXPECT_EQ(GLuint(bound), buf);
  EXPECT_EQ(aglGetProcAddress("glNoSuchEntryPointARB"), nullptr);

  // Limits: GLSL samples from every image unit, so the count grows after
  // the report, which still shows the fixed-function count.
  GLint fixed = 0, image = 0, size = 0;
  glGetIntegerv(GL_MAX_TEXTURE_UNITS_ARB, &fixed);
  glGetIntegerv(GL_MAX_TEXTURE_IMAGE_UNITS_ARB, &image);
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &size);
  EXPECT_EQ(ren.tex_units, std::max(fixed, image));
  EXPECT_EQ(ren.tex_image_units, image);
  EXPECT_EQ(glExt.max_tex_size, size);

  const std::string text = read_file(log);
  const std::string version_line =
      std::string("OpenGL Version   : ") + ren.gl_version + " (" + std::to_string(ver) + ")\n";
  EXPECT_NE(text.find(version_line), std::string::npos) << text;
  EXPECT_NE(text.find("OpenGL Extensions: " + ext + "\n"), std::string::npos);
  EXPECT_NE(text.find("max tex units    : " + std::to_string(fixed) + " (" + std::to_string(image)),
            std::string::npos)
      << text;
  // Every report line, in order.
  const char* labels[] = {
      "OpenGL Vendor    : ",    "OpenGL Render    : ",    "OpenGL Version   : ",
      "OpenGL Extensions: ",    "tex_clamp_avail  : ",    "add_env_avail    : ",
      "combine_avail    : ",    "dis_fog_avail    : ",    "tex_comp_avail   : ",
      "vbo_avail        : 1\n", "pbo_avail        : 1\n", "vprog_avail      : 1 (",
      "fprog_avail      : 1 (", "automini_avail   : ",    "aniso_avail      : ",
      "fsaa_avail       : ",    "sprites_avail    : ",    "depth_tex_avail  : ",
      "occlude_avail    : ",    "shad_objs_avail  : ",    "vshader_avail    : 1 (",
      "fshader_avail    : 1 (", "gshader_avail    : ",    "glsl_avail       : 1 (",
      "framebuf_avail   : ",    "sblend_avail     : ",    "threaded_avail   : 1\n",
      "first-gen shaders: ",    "max tex units    : ",    "max iso filtering: ",
      "max texture size : ",    "max point size   : "};
  size_t at = 0;
  for (const char* label : labels) {
    size_t found = text.find(label, at);
    EXPECT_NE(found, std::string::npos) << "missing or out of order: " << label;
    if (found != std::string::npos) at = found;
  }
  EXPECT_EQ(text.find("WARNING: extension missing proc"), std::string::npos);
}

TEST(ExtensionsTest, OptionsOnlySwitchOff) {
  open_log("ogl_options");
  GLContext gl(64, 64);
  ASSERT_TRUE(gl.ok()) << gl.error();
  ASSERT_EQ(glExt.init_entry_points(), 0);
  struct Case {
    const char* option;
    std::map<std::string, int> want;
  } cases[] = {
      {"--no_vbos", {{"vbo", 0}, {"pbo", 0}}},
      {"--no_pbos", {{"vbo", 1}, {"pbo", 0}}},
      {"--no_sprites", {{"sprites", 0}}},
      {"--no_pixel_counters", {{"occlude", 0}}},
      {"--no_hw_mipmap", {{"automini", 0}}},
      {"--no_vshaders", {{"vprog", 0}, {"fprog", 1}}},  // no second pass of the prerequisites
      {"--no_fshaders", {{"fprog", 0}, {"vprog", 1}}},
      {"--no_glsl", {{"glsl", 0}, {"vshader", 1}}},
      {"--no_fbos", {{"framebuf", 0}}},
      {"--no_threaded_ogl", {{"threaded", 0}}},
      {"--no_sblend", {{"sblend", 0}, {"framebuf", 1}}},
      {"--use_glsl", {{"glsl", 1}, {"vbo", 1}}},  // a "--use_" option switches nothing on by itself
  };
  for (const Case& c : cases) {
    set_options({c.option});
    OGL_extensions caps;
    caps.init_extensions();
    auto flags = flags_of(caps);
    for (const auto& kv : c.want)
      EXPECT_EQ(flags.at(kv.first), kv.second) << c.option << " " << kv.first;
  }

  // Anisotropic filtering off: the limit falls back to 1, and the report says so.
  std::string log = open_log("ogl_aniso");
  set_options({"--no_aniso_filtering"});
  OGL_extensions caps;
  caps.init_extensions();
  xer.flush();
  EXPECT_EQ(caps.aniso_avail, 0);
  EXPECT_EQ(ren.max_aniso, 1.0f);
  EXPECT_TRUE(testing::internal::RE::PartialMatch(read_file(log), "max iso filtering: 1(\\.0*)?\n"))
      << read_file(log);
}

// A driver that lacks one entry point of a group.
void* (*g_real_lookup)(const char*) = nullptr;
void* hide_query_object(const char* name) {
  return std::strcmp(name, "glGetQueryObjectivARB") == 0 ? nullptr : g_real_lookup(name);
}

TEST(ExtensionsTest, MissingEntryPointSwitchesItsGroupOff) {
  std::string log = open_log("ogl_missing");
  GLContext gl(64, 64);
  ASSERT_TRUE(gl.ok()) << gl.error();
  set_options({});
  ASSERT_EQ(glExt.init_entry_points(), 0);
  g_real_lookup = OGL_proc_lookup;
  OGL_proc_lookup = hide_query_object;
  OGL_extensions caps;
  caps.init_extensions();
  OGL_proc_lookup = g_real_lookup;
  xer.flush();
  EXPECT_EQ(caps.occlude_avail, 0);
  EXPECT_EQ(caps.glGetQueryObjectivARB, nullptr);
  // The rest of the group was still looked up, before and after the gap.
  EXPECT_NE(caps.glGenQueriesARB, nullptr);
  EXPECT_NE(caps.glGetQueryObjectuivARB, nullptr);
  EXPECT_EQ(caps.vbo_avail, 1);
  const std::string text = read_file(log);
  EXPECT_NE(text.find("WARNING: extension missing proc glGetQueryObjectivARB\n"),
            std::string::npos);
  EXPECT_NE(text.find("occlude_avail    : 0\n"), std::string::npos);
}

// [SECTION] Other drivers

class OverrideTest : public ::testing::TestWithParam<OverrideCase> {};

TEST_P(OverrideTest, ProbeUnderMesaOverrides) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(probe_child(GetParam()), ::testing::ExitedWithCode(0), "") << GetParam().what;
}

const char kSoftwareWarning[] = "I can not find a 3-D accelerator card";

INSTANTIATE_TEST_SUITE_P(
    Drivers, OverrideTest,
    ::testing::Values(
        OverrideCase{"fragment programs without vertex programs",
                     {{"MESA_EXTENSION_OVERRIDE", "-GL_ARB_vertex_program"}},
                     {},
                     {{"vprog", 0}, {"fprog", 0}},
                     {"vprog_avail      : 0 (0)", "fprog_avail      : 0 (0/0/0/0)"},
                     {}},
        OverrideCase{"an old version: thresholds give way to the extension string",
                     {{"MESA_GL_VERSION_OVERRIDE", "1.3"},
                      {"MESA_EXTENSION_OVERRIDE",
                       "-GL_ARB_vertex_buffer_object -GL_ARB_point_sprite -GL_ARB_shader_objects"}},
                     {},
                     {{"multitex", 1},
                      {"tex_comp", 1},
                      {"vbo", 0},
                      {"pbo", 0},
                      {"sprites", 0},
                      {"shad_objs", 0},
                      {"vshader", 0},
                      {"fshader", 0},
                      {"glsl", 0}},
                     {" (130)\n",
                      "Disabling PBOs because VBOs are not available.  This probably means that "
                      "VBOs are disabled for compatibility reasons.\n",
                      "glsl_avail       : 0 (n/a)"},
                     {}},
        OverrideCase{"a software renderer by its exact name",
                     {{"force_gl_renderer", "Generic"}},
                     {},
                     {{"vbo", 1}},
                     {kSoftwareWarning},
                     {}},
        OverrideCase{"a renderer that only begins with a software name",
                     {{"force_gl_renderer", "Generic llvmpipe"}},
                     {},
                     {{"vbo", 1}},
                     {"OpenGL Render    : Generic llvmpipe\n"},
                     {kSoftwareWarning}},
        OverrideCase{"GLSL off for one old chip",
                     {{"force_gl_renderer", "Intel GMA 950 OpenGL Engine"}},
                     {},
                     {{"glsl", 0}, {"vshader", 1}},
                     {"Disabling GLSL for GMA 950.\n"},
                     {}},
        OverrideCase{"GLSL kept on that chip on request",
                     {{"force_gl_renderer", "Intel GMA 950 OpenGL Engine"}},
                     {"--use_glsl"},
                     {{"glsl", 1}},
                     {},
                     {"Disabling GLSL"}},
        OverrideCase{"first-generation shaders on a vendor without fragment program 2",
                     {{"force_gl_vendor", "NVIDIA Corporation"},
                      {"MESA_EXTENSION_OVERRIDE", "-GL_NV_fragment_program2"}},
                     {},
                     {{"first_gen", 1}, {"glsl", 1}},
                     {"first-gen shaders: 1\n"},
                     {}},
        OverrideCase{"occlusion rules need a system version, which this platform lacks",
                     {{"force_gl_renderer", "NVIDIA GeForce 7300 GT OpenGL Engine"}},
                     {},
                     {{"occlude", 1}},
                     {},
                     {"Disabling occlusion queries"}}));

// [SECTION] No context

// Without a current context every GL string reads NULL: the probe must take
// them as empty, and then finds no multitexturing on a version below 1.1.
void probe_without_context(bool force, const std::string& log) {
  if (xer.is_open()) xer.close();
  xer.open(log);
  if (force)
    set_options({"--force_run"});
  else
    set_options({});
  if (glExt.init_entry_points() != 0) _exit(2);
  glExt.init_extensions();
  xer.flush();
  const std::string text = read_file(log);
  const bool ok = std::strcmp(ren.gl_vendor, "") == 0 && std::strcmp(ren.gl_extensions, "") == 0 &&
                  ren.tex_units == 1 &&
                  text.find("OpenGL Version   :  (100)\n") != std::string::npos;
  fprintf(stderr, "%s\n", ok ? "probe went on" : text.c_str());
  _exit(ok ? 0 : 1);
}

TEST(ExtensionsTest, NoMultitexturingIsFatalUnlessForced) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  // The death-test child runs this body again: it must find the parent's
  // folder, not make its own.
  const char* inherited = getenv("NIMBREL_TEST_PROBE_DIR");
  const std::string dir = inherited ? inherited : make_temp_dir("ogl_nocontext");
  setenv("NIMBREL_TEST_PROBE_DIR", dir.c_str(), 1);
  EXPECT_EXIT(probe_without_context(true, dir + "forced.txt"), ::testing::ExitedWithCode(0),
              "probe went on");
  std::string text = read_file(dir + "forced.txt");
  EXPECT_NE(text.find("Your graphics hardware cannot support Nimbrel. Nimbrel requires a graphics "
                      "card with 16 MB of VRAM and multitexturing."),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("You have used the force-run command inline option to run Nimbrel anyway, "
                      "but it may crash."),
            std::string::npos);

  EXPECT_EXIT(probe_without_context(false, dir + "fatal.txt"), ::testing::ExitedWithCode(1), "");
  text = read_file(dir + "fatal.txt");
  EXPECT_NE(text.find("First, try updating your graphics drivers."), std::string::npos) << text;
  EXPECT_NE(text.find("For tech support, email support@"), std::string::npos);
}

}  // namespace
