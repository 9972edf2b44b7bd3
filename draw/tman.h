// The texture manager's numbered slots and the staging buffer that images
// pass through on their way to a texture. Only the parts the shell reads so
// far: loading comes with the drawing layer.
#pragma once

class tman_class {
 public:
  // Raised when a texture of that kind failed to load; the frame reports each
  // kind once and mutes it.
  int has_scene_load_fail = 0, has_plane_load_fail = 0, has_instl_load_fail = 0;
  int mute_scene_load_fail = 0, mute_plane_load_fail = 0, mute_instl_load_fail = 0;

  // Loads the image named (or staged, for a name starting "scratch_array")
  // into a slot; 1 when loaded.
  int load_texture(int fail_mode, int slot, int flags, int load_time, const char* name);
};

extern tman_class tman;

// 2048 by 2048 pixels of 4 bytes, 16-byte aligned, and the staged image's size.
extern unsigned char* scratch_array;
extern int scratch_dx, scratch_dy;
