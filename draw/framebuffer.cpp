// Render to texture: a framebuffer object with the texture and a depth
// renderbuffer attached, or the back buffer copied into the texture.
#include "draw/framebuffer.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include "core/alert.h"
#include "core/globals.h"
#include "core/stats.h"
#include "core/util/text_util.h"
#include "draw/render_state.h"
#include "draw/tex_units.h"
#include "draw/tman.h"
#include "OGL/extensions.h"

static UTL_stat g_fbo_flushes("fbo/flush_per_frame", stat_render, 0.0f);

UTL_stat& OGL_fbo_flush_stat() { return g_fbo_flushes; }

namespace {

bool holds_texture(int slot, int dx, int dy) {
  const ref_dat_struct r = tman.record(slot);
  return r.load_time == tex_load_now && int(r.dx) == dx && int(r.dy) == dy && r.tex == slot;
}

}  // namespace

OGL_framebuffer::OGL_framebuffer(int tex_ref, fbo_id fbo, int tex_flags, int dx, int dy)
    : fbo_(fbo), tex_ref_(tex_ref), tex_flags_(tex_flags), render_dx_(dx), render_dy_(dy) {}

OGL_framebuffer::~OGL_framebuffer() {
  if (!used_names_ || !glExt.framebuf_avail) return;
  glExt.glDeleteFramebuffersEXT(1, &fbo_);
  glExt.glDeleteRenderbuffersEXT(1, &fbo_);
}

void OGL_framebuffer::set_render_size(int dx, int dy) {
  render_dx_ = dx;
  render_dy_ = dy;
}

void OGL_framebuffer::begin_render(int use_fbo) {
  use_fbo_ = use_fbo;
  cur_dx = render_dx_;
  cur_dy = render_dy_;
  if (glExt.framebuf_avail && use_fbo) {
    glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &prev_fbo_);
    glExt.glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, fbo_);
    used_names_ = true;
    const bool in_place =
        attached_dx_ == cur_dx && attached_dy_ == cur_dy && holds_texture(tex_ref_, cur_dx, cur_dy);
    if (!in_place) {
      scratch_dx = cur_dx;
      scratch_dy = cur_dy;
      tman.load_texture(tex_fail_fatal, tex_ref_,
                        tex_flags_ | tex_flag_sized8 | tex_flag_carried | tex_flag_full_res,
                        tex_load_now, "scratch_array-fbo");
      if ((tex_flags_ & tex_flag_colour_mask) == tex_colour_depth) {
        glDrawBuffer(GL_NONE);
        glReadBuffer(GL_NONE);
        glExt.glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_TEXTURE_2D,
                                        GLuint(tex_ref_), 0);
      } else {
        glExt.glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D,
                                        GLuint(tex_ref_), 0);
        glExt.glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, fbo_);
        glExt.glRenderbufferStorageEXT(GL_RENDERBUFFER_EXT, GL_DEPTH_COMPONENT24, cur_dx, cur_dy);
        glExt.glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, 0);
        glExt.glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT,
                                           GL_RENDERBUFFER_EXT, fbo_);
      }
      const GLenum status = glExt.glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT);
      if (status != GL_FRAMEBUFFER_COMPLETE_EXT)
        MACIBM_alert(wind_main, "ERROR: incomplete framebuffer.",
                     UTL_format_number("%f", double(status)).c_str(), "", "", t_exit);
      attached_dx_ = cur_dx;
      attached_dy_ = cur_dy;
    }
  } else {
    while (cur_dx > mnw.pixel_dx && cur_dx > 1) cur_dx /= 2;
    while (cur_dy > mnw.pixel_dy && cur_dy > 1) cur_dy /= 2;
    if (!holds_texture(tex_ref_, cur_dx, cur_dy)) {
      scratch_dx = cur_dx;
      scratch_dy = cur_dy;
      tman.load_texture(tex_fail_fatal, tex_ref_, tex_flags_ | tex_flag_carried | tex_flag_full_res,
                        tex_load_now, "scratch_array-mTexID");
    }
  }
  area_left_ = mnw.area_left;
  area_bottom_ = mnw.area_bottom;
  area_right_ = mnw.area_right;
  area_top_ = mnw.area_top;
  design_off_x_ = mnw.design_off_x;
  pixel_dx_ = float(mnw.pixel_dx);
  pixel_dy_ = float(mnw.pixel_dy);
  mnw.area_left = 0;
  mnw.area_bottom = 0;
  mnw.area_right = float(cur_dx);
  mnw.area_top = float(cur_dy);
  mnw.pixel_dx = cur_dx;
  mnw.pixel_dy = cur_dy;
  mnw.design_off_x = 0;
  TEX_reset_bind();
}

void OGL_framebuffer::end_render() {
  g_fbo_flushes.own_value += 1.0f;
  mnw.area_left = area_left_;
  mnw.area_bottom = area_bottom_;
  mnw.area_right = area_right_;
  mnw.area_top = area_top_;
  mnw.design_off_x = design_off_x_;
  mnw.pixel_dx = int(pixel_dx_);
  mnw.pixel_dy = int(pixel_dy_);
  if (use_fbo_ && glExt.framebuf_avail) {
    glExt.glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, GLuint(prev_fbo_));
    if (tex_flags_ & tex_flag_mipmap) {
      OGL_setstate(ogl_fog_off, 1, ogl_lighting_off, ogl_alpha_blend, ogl_depth_test_off,
                   ogl_depth_write_off);
      tman.bind_ref(tex_ref_, 0, tex_env_modulate);
      glExt.glGenerateMipmapEXT(GL_TEXTURE_2D);
    }
    return;
  }
  OGL_setstate(ogl_fog_off, 1, ogl_lighting_off, ogl_alpha_blend, ogl_depth_test_off,
               ogl_depth_write_off);
  tman.bind_ref(tex_ref_, 0, tex_env_modulate);
  glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, cur_dx, cur_dy);
}
