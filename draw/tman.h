// The texture manager: every OpenGL texture of the program lives in a
// numbered slot ("ref") of tman. Manual slots 1..1129 have a fixed meaning
// across the program (388 the widget atlas, 389-391 the installer's images,
// 925 the blank texture); slot 0 asks for a dynamic slot (1130 and up) that is
// handed out per file name and counted per user. The load itself (finding,
// decoding, scaling, uploading) is in draw/tex_load.h.
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include "core/threads/locks.h"
#include "draw/tex_load.h"
#include "draw/tex_units.h"

// What a failed load does.
enum tex_fail_mode {
  tex_fail_none = 0,
  tex_fail_scenery = 1,    // raises the scenery flag
  tex_fail_plane = 2,      // raises the aircraft flag
  tex_fail_installer = 3,  // raises the installer flag
  tex_fail_fatal = 4,
};

// When a texture loads; only these three are accepted.
enum tex_load_time {
  tex_load_now = 100,
  tex_load_deferred = 101,  // registered, loaded later (deferred loading)
  tex_load_unloaded = 102,
};

// Bits of the flag word (below 16384); bits 0-2 are the colour mode:
// 1 and 7 RGB, 2 RGBA, 3 alpha, 4 RGB or RGBA as the file has alpha (asked
// RGB), 5 the same asked RGBA, 6 depth; 0 is invalid.
enum {
  tex_colour_invalid = 0,
  tex_colour_rgb = 1,
  tex_colour_rgba = 2,
  tex_colour_alpha = 3,
  tex_colour_rgb_follow_alpha = 4,
  tex_colour_rgba_follow_alpha = 5,
  tex_colour_depth = 6,
  tex_flag_colour_mask = 0x7,
  tex_flag_mipmap = 0x8,
  tex_flag_clamp = 0x10,      // both directions
  tex_flag_clamp_s = 0x20,    // across only
  tex_flag_sharper = 0x40,    // one resolution step sharper than the setting
  tex_flag_softer = 0x80,     // one step softer
  tex_flag_full_res = 0x100,  // never reduced for the setting
  tex_flag_scratch = 0x200,   // decode into and upload from scratch_array
  tex_flag_carried = 0x400,   // stored, never tested
  tex_flag_float16 = 0x800,
  tex_flag_sized8 = 0x1000,    // sized 8-bit internal format, no hardware mipmaps
  tex_flag_any_size = 0x2000,  // sides need not be powers of two
  tex_flag_limit = 0x4000      // the first value that is not a flag word
};

// Slot ranges and the manual slots with a meaning of their own.
enum tex_slot {
  tex_first_dynamic = 1130,
  tex_last_manual = 1129,
  tex_slot_widgets = 388,     // the widget atlas with the interface font
  tex_slot_installer = 389,   // the installer's buttons and icons
  tex_slot_ins_back_1 = 390,  // the installer screen's background
  tex_slot_ins_back_2 = 391,  // a second background
  tex_slot_grid_font = 392,   // the grid font of charset 103
  tex_slot_file_icon = 404,   // the icon of the file previewed by the open/save browser
  tex_slot_movie = 405,       // the movie recorder's copy of the window
  tex_slot_back_first = 423,  // 423..438: the sixteen tiles of the background image
  tex_slot_back_last = 438,
  tex_slot_blank = 925,  // shown in place of a texture that failed to load
  // Slots this system gives no image of its own, but whose rules stay:
  tex_slot_unannounced = 312,  // never announced on the start-up screen
  tex_slot_alpha_view = 414,   // the 2-D quad shows its alpha channel as grey
  tex_slot_nearest_1 = 415,    // these three are sampled with nearest filtering
  tex_slot_nearest_2 = 421,
  tex_slot_nearest_3 = 422,
};

// The prefix of a name that loads the image staged in scratch_array.
constexpr char tex_staged_prefix[] = "scratch_array";
constexpr size_t tex_staged_prefix_len = sizeof(tex_staged_prefix) - 1;

struct THREAD_call;

// h = h * 5 + byte, bytes taken as signed.
size_t tex_hash_of(const std::string& name);

struct tex_name_hasher {
  size_t operator()(const std::string& name) const { return tex_hash_of(name); }
};

// What a synchronous load calls to make the pending background decode
// finish first, so that the decode buffer is free before it is reused.
class tman_force_finish_obj {
 public:
  virtual ~tman_force_finish_obj() = default;
  virtual void force_finish() = 0;
};

struct ref_dat_struct {
  std::string name = "un-inited";  // file path, or a name starting "scratch_array"
  int tex = 0;                     // the OpenGL texture; the slot number once loaded
  float dx = 0, dy = 0;            // the picture inside the texture, after scaling
  float tex_dx = 0, tex_dy = 0;    // the OpenGL texture
  int vram = 0;                    // video-memory bytes
  int format = 0;                  // pixel format uploaded; 0 marks a free record
  int load_time = 0;
  int flags = 0;
  int fail_mode = tex_fail_fatal;
  int ref_count = -1;  // users of a dynamic slot; -1 for a manual one
};

class tman_class {
 public:
  tman_class();
  ~tman_class();
  tman_class(const tman_class&) = delete;
  tman_class& operator=(const tman_class&) = delete;

  // Loads a file (DDS, PNG or BMP by content; the name's extension is only a
  // hint) or, for a name starting "scratch_array", the image staged in
  // scratch_array, into manual_ref, or into a dynamic slot when manual_ref is
  // 0. Returns the slot, or 0 for an empty name or a failed manual load.
  int load_texture(int fail_mode, int manual_ref, int flags, int load_time, const char* name);

  // Binds the slot's texture on a texture unit with an environment mode
  // (draw/tex_units.h). Slot 0 and slots beyond the records bind no
  // texture; a registered slot that is not loaded binds the blank texture
  // (none when slot 925 holds none) after a warning.
  void bind_ref(int ref, int unit, int mode);

  void unload_texture(int ref);   // manual slots only
  void release_texture(int ref);  // dynamic slots only: one user fewer
  void purge_unused_texes();      // frees dynamic slots nobody uses

  void reset_bind();
  void set_blend_level(int unit, float level);

  // Forgets every record, name, count, failure flag and deferred load, as at
  // start-up: for a new OpenGL context, which holds none of the old textures.
  void reset();

  // The failure flags: 0 none, 1 a failure not yet reported, 2 muted.
  int has_scene_load_fail() const { return scene_load_fail == 1; }
  int has_plane_load_fail() const { return plane_load_fail == 1; }
  int has_instl_load_fail() const { return instl_load_fail == 1; }
  void reset_scene_load_fail() { scene_load_fail = 0; }
  void reset_plane_load_fail() { plane_load_fail = 0; }
  void reset_instl_load_fail() { instl_load_fail = 0; }
  void mute_scene_load_fail() { scene_load_fail = 2; }
  void mute_plane_load_fail() { plane_load_fail = 2; }
  void mute_instl_load_fail() { instl_load_fail = 2; }

  int total_texes();
  int loaded_texes();
  // The drawable's bytes plus every texture's.
  double tot_vram();

  // A copy of the slot's record; a slot beyond the records reads as a fresh,
  // never-loaded one (texture 0, no video memory).
  ref_dat_struct record(int ref);

  // The load stages (draw/tex_load.cpp). Called under the lock.
  int load_texture_int(int fail_mode, int ref, int flags, const char* name, int deferred);

  // Deferred loading: records at load time 101 (load_texture with
  // tex_load_deferred registers one) are loaded later, all at once or one at
  // a time with the decode on a worker thread.
  int num_remaining_async_texes();
  // Main thread: makes the next record at 101 the pending work, with the
  // finisher that completes its decode. 0 when there is none, or while
  // work is pending.
  int load_scenery_async_register(tman_force_finish_obj* finisher);
  // Any thread: decodes the pending work (no OpenGL, never the lock).
  int load_scenery_async_work();
  // Main thread: once the finisher has returned, uploads the pending work,
  // unless its record was changed meanwhile. The slot, or 0.
  int load_scenery_async_finalize();
  // Loads a record at 101 now.
  void force_load_tex(int ref);
  // Loads every record at 101, showing progress on the start-up screen.
  void load_all_scenery_texes();

  int loaded_count = 0;
  int total_count = 0;
  std::vector<ref_dat_struct> ref_dat;
  int scene_load_fail = 0, plane_load_fail = 0, instl_load_fail = 0;
  // Every registered name and its slot. Several slots may carry one name (a
  // manual slot and a dynamic one loading the same file), so every pair is
  // kept.
  std::unordered_multimap<std::string, int, tex_name_hasher> tex_hash;

  UTL_critical_section lock;

 private:
  void unload_texture_internal(int ref);

  int async_cursor_ = 0;      // the first record still to examine
  tex_load_vars async_vars_;  // the one work record of the background decode
  tex_load_vars* async_work_ = nullptr;
  int async_result_ = 0;  // what the decode gave: 0 failed, 1 staged image, 2 file
  tman_force_finish_obj* async_finisher_ = nullptr;
};

// Loads the records at 101 one at a time: the decode on the worker pool
// (whose threads carry the shared loader contexts), the upload on the main
// thread. Main thread only.
class tman_async_loader : public tman_force_finish_obj {
 public:
  ~tman_async_loader() override;
  // Starts the decode of the next registered record; 0 when there is none or
  // work is pending.
  int start();
  // Uploads the decode once it is done: the slot, or 0 while it runs or
  // when nothing is pending.
  int poll();
  // Waits for the worker.
  void force_finish() override;

 private:
  THREAD_call* call_ = nullptr;
};

extern tman_class tman;

// Registers a slot's name; a dynamic lookup only ever finds a dynamic slot,
// so a manual slot that happens to load the same file is never shared.
void tex_hash_add(const std::string& name, int slot);
void tex_hash_remove(const std::string& name, int slot);
// The dynamic slot registered for the name, or 0.
int tex_hash_find_dynamic(const std::string& name);

// The staging buffer: 2048 by 2048 pixels of 4 bytes, 16-byte aligned, and
// the size of the image staged in it. A staged image's rows are as wide as
// the texture it becomes (its width rounded up to a power of two).
extern unsigned char* const scratch_array;
// The staging buffer's one changing part; scratch_dx and scratch_dy are its
// members.
struct tex_staging_state {
  int scratch_dx = 0, scratch_dy = 0;

  void reset() { *this = tex_staging_state(); }
};
extern tex_staging_state tex_staging;
extern int& scratch_dx;
extern int& scratch_dy;

// Writes the image staged in scratch_array (width by height, bottom-up rows
// without padding) as RGBA when channels is 4, else RGB. 0 when the size is
// empty or larger than the staging buffer, or the write fails.
int write_png_to_disk(const char* path, int width, int height, int channels);

// The fatal alert of a texture request with a bad value: the message, the
// texture's name and the value as a whole number.
void tman_fatal_with_value(const char* message, const std::string& name, double value);
