// Rendering into a texture slot with the ordinary 2-D drawing calls: between
// begin_render and end_render the window state the 2-D layer draws against
// is swapped for the texture's size. With framebuffer objects (and when the
// caller asks for one) drawing goes to a framebuffer object holding the
// texture; otherwise to the window's back buffer, copied into the texture at
// the end.
#pragma once

class UTL_stat;

// The caller's name for the framebuffer object, used for its depth
// renderbuffer as well; no names are generated.
typedef unsigned int fbo_id;

class OGL_framebuffer {
 public:
  // tex_flags: the texture manager's flag word; colour mode 6 makes a depth
  // texture, the mipmap bit rebuilds the chain after each rendering.
  OGL_framebuffer(int tex_ref, fbo_id fbo, int tex_flags, int dx, int dy);
  // Deletes the framebuffer and renderbuffer names it used.
  ~OGL_framebuffer();
  OGL_framebuffer(const OGL_framebuffer&) = delete;
  OGL_framebuffer& operator=(const OGL_framebuffer&) = delete;

  void set_render_size(int dx, int dy);

  // Neither call touches OpenGL's viewport or projection: the caller loads
  // them for the new size after begin_render (OGL_pix_specs reads the
  // swapped window state) and again after end_render. The copy path renders
  // at most the window's size, each side halved until it fits.
  void begin_render(int use_fbo);
  // Leaves the texture bound on unit 0.
  void end_render();

  int cur_dx = 0, cur_dy = 0;  // the size of the current (or last) rendering

 private:
  fbo_id fbo_;
  int prev_fbo_ = 0;
  int use_fbo_ = 0;
  int tex_ref_;
  int tex_flags_;
  int render_dx_, render_dy_;
  float area_left_ = 0, area_bottom_ = 0, area_right_ = 0, area_top_ = 0;
  float design_off_x_ = 0;
  float pixel_dx_ = 0, pixel_dy_ = 0;
  // The size at which this object's framebuffer holds the texture (0: none);
  // a slot of the same size made by another object is not attached here.
  int attached_dx_ = 0, attached_dy_ = 0;
  bool used_names_ = false;
};

// "fbo/flush_per_frame": one more at every end_render.
UTL_stat& OGL_fbo_flush_stat();
