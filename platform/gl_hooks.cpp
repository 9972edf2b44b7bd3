// The shell's calls into the drawing layer's OpenGL set-up.
#include "platform/gl_hooks.h"

#include "draw/render_state.h"
#include "draw/viewport.h"
#include "OGL/extensions.h"

int PLAT_gl_entry_points() { return glExt.init_entry_points(); }

void PLAT_gl_probe() { glExt.init_extensions(); }

void PLAT_gl_setstate(int fog, int units, int lighting, int alpha, int depth_test,
                      int depth_write) {
  OGL_setstate(fog, units, lighting, alpha, depth_test, depth_write);
}

void PLAT_gl_pix_specs(int mode) { OGL_pix_specs(mode); }

void PLAT_gl_viewport_full() { OGL_viewport(2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1.0f, 0); }

void PLAT_gl_unbind_programs() {
  if (glExt.glsl_avail && glExt.glUseProgramObjectARB) glExt.glUseProgramObjectARB(0);
  if (glExt.framebuf_avail && glExt.glBindFramebufferEXT)
    glExt.glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
}
