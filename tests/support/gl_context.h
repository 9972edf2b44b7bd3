// A real OpenGL context for the drawing tests: a hidden window with a
// compatibility-profile context, made current on the calling thread. Under
// SDL_VIDEODRIVER=offscreen (set by CTest) this runs without a display.
#pragma once

#include <string>

namespace testing_support {

class GLContext {
 public:
  // Mesa reads its override variables (MESA_GL_VERSION_OVERRIDE,
  // MESA_EXTENSION_OVERRIDE, force_gl_vendor, ...) when the context is made:
  // set them before constructing.
  explicit GLContext(int width = 1024, int height = 768);
  ~GLContext();
  GLContext(const GLContext&) = delete;
  GLContext& operator=(const GLContext&) = delete;

  bool ok() const { return context_ != nullptr; }
  const std::string& error() const { return error_; }
  // Size of the drawable in pixels.
  int pixel_width() const;
  int pixel_height() const;

 private:
  void* window_ = nullptr;
  void* context_ = nullptr;
  std::string error_;
};

// Fails the test fatally unless the context is up, then loads the extension
// entry points and reads the capabilities the texture code asks about.
void load_gl_extensions(const GLContext& gl);

// An entry point of the system's GLU library (gluLookAt, gluProject...),
// loaded on first use; null when it is missing. Tests compare our matrix code
// with it.
void* glu_symbol(const char* name);

}  // namespace testing_support
