#include "tests/support/gl_context.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <SDL.h>

#include "OGL/extensions.h"
#include "OGL/leak_check.h"

namespace testing_support {

GLContext::GLContext(int width, int height) {
  OGL_keep_libraries_for_leak_check();
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    error_ = SDL_GetError();
    return;
  }
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
  // Ask for the oldest version: a compatibility context comes back at the
  // highest version the driver offers, or at an overridden lower one.
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 1);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 1);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
  SDL_Window* w = SDL_CreateWindow("test", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, width,
                                   height, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
  if (!w) {
    error_ = SDL_GetError();
    return;
  }
  window_ = w;
  SDL_GLContext c = SDL_GL_CreateContext(w);
  if (!c) {
    error_ = SDL_GetError();
    return;
  }
  if (SDL_GL_MakeCurrent(w, c) != 0) {
    error_ = SDL_GetError();
    SDL_GL_DeleteContext(c);
    return;
  }
  context_ = c;
}

GLContext::~GLContext() {
  if (context_) SDL_GL_DeleteContext(static_cast<SDL_GLContext>(context_));
  if (window_) SDL_DestroyWindow(static_cast<SDL_Window*>(window_));
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

int GLContext::pixel_width() const {
  int w = 0, h = 0;
  if (window_) SDL_GL_GetDrawableSize(static_cast<SDL_Window*>(window_), &w, &h);
  return w;
}

int GLContext::pixel_height() const {
  int w = 0, h = 0;
  if (window_) SDL_GL_GetDrawableSize(static_cast<SDL_Window*>(window_), &w, &h);
  return h;
}

void load_gl_extensions(const GLContext& gl) {
  ASSERT_TRUE(gl.ok()) << gl.error();
  ASSERT_EQ(glExt.init_entry_points(), 0);
  glExt.init_extensions();
}

void* glu_symbol(const char* name) {
  static void* glu = dlopen("libGLU.so.1", RTLD_NOW | RTLD_LOCAL);
  return glu ? dlsym(glu, name) : nullptr;
}

}  // namespace testing_support
