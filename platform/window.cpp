// The window and its OpenGL context through SDL2. One real window; modal
// "windows" are logical ids drawn inside it (frame.cpp).
#include "platform/window.h"

#include <dlfcn.h>
#include <SDL2/SDL.h>
#include <SDL2/SDL_syswm.h>

#include <stdlib.h>
#include <cstdint>

#include <GL/gl.h>

#include "core/cmdline.h"
#include "core/globals.h"
#include "draw/render_state.h"
#include "platform/alert.h"
#include "platform/gl_hooks.h"

window_state g_window_state;
int& g_mon_x_res_now = g_window_state.mon_x_res_now;
int& g_mon_y_res_now = g_window_state.mon_y_res_now;

// [SECTION] Pixel format and default state

namespace {

// Room the window manager takes above a window for its title bar; a guess,
// since the decoration is known only once the window is mapped.
constexpr int kTitleBar = 30;

struct loader_rec {
  SDL_Window* window;
  SDL_GLContext context;
};

void set_format_attributes(int level, int depth_bits) {
  SDL_GL_ResetAttributes();
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, depth_bits);
  // Levels 1 to 4 ask for 2, 4, 8 and 16 samples.
  SDL_GL_SetAttribute(SDL_GL_MULTISAMPLEBUFFERS, level > 0 ? 1 : 0);
  SDL_GL_SetAttribute(SDL_GL_MULTISAMPLESAMPLES, level > 0 ? 1 << level : 0);
}

void log_format() {
  struct {
    const char* label;
    SDL_GLattr attr;
  } rows[] = {
      {"AGL_DOUBLEBUFFER : ", SDL_GL_DOUBLEBUFFER}, {"AGL_RED_SIZE     : ", SDL_GL_RED_SIZE},
      {"AGL_GREEN_SIZE   : ", SDL_GL_GREEN_SIZE},   {"AGL_BLUE_SIZE    : ", SDL_GL_BLUE_SIZE},
      {"AGL_ALPHA_SIZE   : ", SDL_GL_ALPHA_SIZE},   {"AGL_DEPTH_SIZE   : ", SDL_GL_DEPTH_SIZE}};
  // Every format SDL hands out is RGBA.
  xer << "AGL_RGBA         : " << 1 << "\n";
  for (auto& r : rows) {
    int v = 0;
    if (SDL_GL_GetAttribute(r.attr, &v) == 0) xer << r.label << v << "\n";
  }
}

// Video memory from the renderer query of GLX, when the context is a GLX one.
void log_video_memory() {
  const char* driver = SDL_GetCurrentVideoDriver();
  if (!driver || SDL_strcmp(driver, "x11") != 0) return;
  void* gl = dlopen("libGL.so.1", RTLD_LAZY | RTLD_NOLOAD);
  if (!gl) return;
  typedef int (*query_fn)(int attribute, unsigned int* value);
  auto query = reinterpret_cast<query_fn>(dlsym(gl, "glXQueryCurrentRendererIntegerMESA"));
  unsigned int megabytes = 0;
  const int kVideoMemory = 0x8187;  // GLX_RENDERER_VIDEO_MEMORY_MESA
  // In bytes, as the log always gave it; 64-bit, since a 32-bit figure goes
  // negative past 2 GB and software renderers report all of system memory.
  if (query && query(kVideoMemory, &megabytes))
    xer << "VRAM             : " << static_cast<uint64_t>(megabytes) * 1024u * 1024u << "\n";
  dlclose(gl);
}

void set_default_gl_state() {
  GLfloat ambient[4] = {0, 0, 0, 0};
  glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glAlphaFunc(GL_GREATER, 0.0f);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glDepthFunc(GL_LEQUAL);
  glFogi(GL_FOG_MODE, GL_LINEAR);
  glHint(GL_FOG_HINT, GL_FASTEST);
  glFrontFace(GL_CW);
  glCullFace(GL_BACK);
  glEnable(GL_CULL_FACE);
  glShadeModel(GL_SMOOTH);
  glEnable(GL_DITHER);
  glDisable(GL_COLOR_LOGIC_OP);
  glDisable(GL_STENCIL_TEST);
  glDisable(GL_TEXTURE_1D);
  glDisable(GL_NORMALIZE);
  glDisable(GL_SCISSOR_TEST);
  glColorMaterial(GL_FRONT, GL_AMBIENT_AND_DIFFUSE);
  glEnable(GL_COLOR_MATERIAL);
  const GLenum kMultisample = 0x809D;  // GL_MULTISAMPLE
  if (mnw.alias_got > 0)
    glEnable(kMultisample);
  else
    glDisable(kMultisample);
  glDepthMask(GL_FALSE);
}

}  // namespace

// [SECTION] The video system

int PLAT_window_fits(int pixel_dx, int pixel_dy, int mon_x, int mon_y) {
  return pixel_dx + 20 < mon_x && 40 + kTitleBar + pixel_dy < mon_y;
}

int PLAT_video_init() {
  if (SDL_WasInit(SDL_INIT_VIDEO)) return 1;
  // SDL turns SIGINT and SIGTERM into a quit event, so they shut down in order.
  if (SDL_Init(SDL_INIT_VIDEO) != 0) return 0;
  SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
  SDL_ShowCursor(SDL_ENABLE);
  return 1;
}

void PLAT_video_quit() {
  if (SDL_WasInit(SDL_INIT_VIDEO)) SDL_Quit();
}

int PLAT_monitor_size(int* width, int* height, int* depth) {
  SDL_DisplayMode mode;
  if (!SDL_WasInit(SDL_INIT_VIDEO) || SDL_GetDesktopDisplayMode(0, &mode) != 0) {
    *width = *height = *depth = 0;
    return 0;
  }
  *width = mode.w;
  *height = mode.h;
  *depth = SDL_BITSPERPIXEL(mode.format);
  return 1;
}

// [SECTION] Contexts

int MACIBM_make_context(int slot) {
  if (slot < 0 || slot > 1) return 0;
  if (!PLAT_video_init()) return 0;
  int x = 0;
  if (slot == 1) {
    x = mnw.pixel_dx;
    PLAT_gl_setstate(ogl_fog_off, 0, ogl_lighting_off, ogl_alpha_none, ogl_depth_test_off,
                     ogl_depth_write_off);
  }
  const int fits = PLAT_window_fits(mnw.pixel_dx, mnw.pixel_dy, g_mon_x_res_now, g_mon_y_res_now);
  Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_SHOWN | (fits ? 0 : SDL_WINDOW_BORDERLESS);

  // Mesa reads its threading switch when the context is made.
  const bool threaded = cmdline.has_option("--use_threaded_ogl");
  if (threaded) setenv("mesa_glthread", "true", 1);

  // The pixel format: from the highest multisample level asked for down to
  // none, depth 32 first and 24 where the driver has no 32.
  const int top = mnw.alias_req > 4 ? 4 : mnw.alias_req < 0 ? 0 : mnw.alias_req;
  SDL_Window* window = nullptr;
  SDL_GLContext context = nullptr;
  if (slot == 1 && g_window_state.context[0])
    SDL_GL_MakeCurrent(g_window_state.window[0], g_window_state.context[0]);
  for (int level = mnw.pixel_format ? mnw.alias_got : top; level >= 0 && !context; --level) {
    for (int depth : {32, 24}) {
      if (mnw.pixel_format && depth != g_window_state.format.depth_bits) continue;
      set_format_attributes(level, depth);
      SDL_GL_SetAttribute(SDL_GL_SHARE_WITH_CURRENT_CONTEXT, slot == 1 ? 1 : 0);
      window = SDL_CreateWindow("Nimbrel", x, fits ? 40 : 0, mnw.pixel_dx, mnw.pixel_dy, flags);
      if (!window) continue;
      context = SDL_GL_CreateContext(window);
      if (context) {
        g_window_state.format.depth_bits = depth;
        g_window_state.format.samples = level > 0 ? 1 << level : 0;
        mnw.alias_got = level;
        break;
      }
      SDL_DestroyWindow(window);
      window = nullptr;
    }
  }
  if (!context) return 0;
  mnw.pixel_format = &g_window_state.format;
  g_window_state.window[slot] = window;
  g_window_state.context[slot] = context;
  (slot == 0 ? mnw.main_window : mnw.aux_window) = window;
  (slot == 0 ? mnw.gl_context : mnw.aux_context) = context;

  log_format();
  log_video_memory();
  xer.flush();
  if (SDL_GL_MakeCurrent(window, context) != 0) return 0;
  SDL_GL_SetSwapInterval(0);

  int err = PLAT_gl_entry_points();
  if (err) {
    char line[64];
    snprintf(line, sizeof line, "Error=%f", static_cast<double>(err));
    // Line 580 on purpose: the line this alert has always named.
    __MACIBM_alert(wind_main, "Could not open OpenGL framework", "", line, "", t_exit, __FILE__,
                   580);
  }
  if (threaded) {
    // Mesa reports nothing back, so the line always shows success.
    xer << "Enabling threaded OGL - got " << 0 << "\n";
    xer.flush();
  }
  int accelerated = -1;
  SDL_GL_GetAttribute(SDL_GL_ACCELERATED_VISUAL, &accelerated);
  if (accelerated == 0) return 0;

  set_default_gl_state();
  return 1;
}

void MACIBM_nuke_context(int slot) {
  if (slot < 0 || slot > 1) return;
  if (g_window_state.context[slot]) {
    if (SDL_GL_GetCurrentContext() == g_window_state.context[slot])
      SDL_GL_MakeCurrent(g_window_state.window[slot], nullptr);
    SDL_GL_DeleteContext(g_window_state.context[slot]);
  }
  if (g_window_state.window[slot]) SDL_DestroyWindow(g_window_state.window[slot]);
  g_window_state.context[slot] = nullptr;
  g_window_state.window[slot] = nullptr;
  (slot == 0 ? mnw.main_window : mnw.aux_window) = nullptr;
  (slot == 0 ? mnw.gl_context : mnw.aux_context) = nullptr;
}

void window_state::reset() {
  MACIBM_nuke_context(1);
  MACIBM_nuke_context(0);
  // A record that is about to be cleared would name a depth no window has.
  if (mnw.pixel_format == &format) mnw.pixel_format = nullptr;
  *this = window_state();
}

void MACIBM_swap_buffers() {
  if (g_window_state.window[0]) SDL_GL_SwapWindow(g_window_state.window[0]);
}

unsigned long PLAT_x11_window_id() {
  if (!g_window_state.window[0]) return 0;
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(g_window_state.window[0], &info) || info.subsystem != SDL_SYSWM_X11)
    return 0;
  return static_cast<unsigned long>(info.info.x11.window);
}

void* PLAT_make_loader_context() {
  if (!mnw.pixel_format || !g_window_state.context[0]) return nullptr;
  SDL_GL_MakeCurrent(g_window_state.window[0], g_window_state.context[0]);
  set_format_attributes(mnw.alias_got, g_window_state.format.depth_bits);
  SDL_GL_SetAttribute(SDL_GL_SHARE_WITH_CURRENT_CONTEXT, 1);
  SDL_Window* w = SDL_CreateWindow("", 0, 0, 1, 1, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
  if (!w) return nullptr;
  SDL_GLContext c = SDL_GL_CreateContext(w);
  SDL_GL_MakeCurrent(g_window_state.window[0], g_window_state.context[0]);
  if (!c) {
    SDL_DestroyWindow(w);
    return nullptr;
  }
  return new loader_rec{w, c};
}

int PLAT_set_loader_context(void* loader) {
  auto* rec = static_cast<loader_rec*>(loader);
  return rec && SDL_GL_MakeCurrent(rec->window, rec->context) == 0 ? 1 : 0;
}

void PLAT_free_loader_context(void* loader) {
  auto* rec = static_cast<loader_rec*>(loader);
  if (!rec) return;
  SDL_GL_DeleteContext(rec->context);
  SDL_DestroyWindow(rec->window);
  delete rec;
}
