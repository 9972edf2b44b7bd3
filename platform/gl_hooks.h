// The shell's calls into the drawing layer's OpenGL set-up, in one place.
#pragma once

// The extension entry points; 0 or the loader's error code.
int PLAT_gl_entry_points();
// The capability probe, once the context is current.
void PLAT_gl_probe();
// The render-state cache (fog, lighting, alpha, depth test, depth writes, units).
void PLAT_gl_setstate(int fog, int units, int lighting, int alpha, int depth_test, int depth_write);
// Window pixels and the design offset.
void PLAT_gl_pix_specs(int mode);
// Orthographic projection over the whole drawable.
void PLAT_gl_viewport_full();
// Back to the fixed-function pipeline and the window's own framebuffer.
void PLAT_gl_unbind_programs();
