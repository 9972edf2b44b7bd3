// The texture manager's slots and name registry: load, unload, reference
// counts, and the records the loader fills.
//
// Contents
//   [SECTION] Name registry
//   [SECTION] Records
//   [SECTION] Public operations
//   [SECTION] Deferred loading
#include "draw/tman.h"

#include <GL/gl.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <unordered_map>

#include "core/alert.h"
#include "core/globals.h"
#include "core/threads/threads.h"
#include "core/util/text_util.h"
#include "draw/hooks.h"
#include "draw/tex_load.h"
#include "draw/tex_units.h"
#include "TEX/image_desc.h"

tman_class tman;

alignas(16) static unsigned char scratch_array_storage[TEX_max_image_bytes];
unsigned char* const scratch_array = scratch_array_storage;
tex_staging_state tex_staging;
int& scratch_dx = tex_staging.scratch_dx;
int& scratch_dy = tex_staging.scratch_dy;

// [SECTION] Name registry

namespace {

// Slots whose loads the start-up screen never announces.
bool silent_slot(int slot) {
  return slot == 0 || slot == tex_slot_unannounced || slot == tex_slot_widgets ||
         slot == tex_slot_grid_font ||
         (slot >= tex_slot_back_first && slot <= tex_slot_back_last) || slot == tex_slot_blank;
}

}  // namespace

void tman_fatal_with_value(const char* message, const std::string& name, double value) {
  MACIBM_alert(wind_main, message, name.c_str(),
               "value:", UTL_format_number("%1.0f", value).c_str(), t_exit);
}

size_t tex_hash_of(const std::string& name) {
  size_t h = 0;
  for (char c : name) h = h * 5 + size_t(static_cast<signed char>(c));
  return h;
}

void tex_hash_add(const std::string& name, int slot) { tman.tex_hash.emplace(name, slot); }

void tex_hash_remove(const std::string& name, int slot) {
  auto range = tman.tex_hash.equal_range(name);
  for (auto it = range.first; it != range.second; ++it) {
    if (it->second == slot) {
      tman.tex_hash.erase(it);
      return;
    }
  }
}

int tex_hash_find_dynamic(const std::string& name) {
  auto range = tman.tex_hash.equal_range(name);
  for (auto it = range.first; it != range.second; ++it)
    if (it->second >= tex_first_dynamic) return it->second;
  return 0;
}

// [SECTION] Records

tman_class::tman_class() { UTL_critical_section_create(&lock); }

// The lock is left to the process's end: the manager is destroyed only at
// exit, and a fatal alert raised under the lock exits while holding it,
// which would make destroying it fail.
tman_class::~tman_class() {}

ref_dat_struct tman_class::record(int ref) {
  UTL_scoped_lock hold(&lock);
  if (ref < 0 || size_t(ref) >= ref_dat.size()) return ref_dat_struct();
  return ref_dat[size_t(ref)];
}

int tman_class::total_texes() {
  UTL_scoped_lock hold(&lock);
  return total_count;
}

int tman_class::loaded_texes() {
  UTL_scoped_lock hold(&lock);
  return loaded_count;
}

double tman_class::tot_vram() {
  UTL_scoped_lock hold(&lock);
  double bytes = double(mnw.pixel_dx) * mnw.pixel_dy * mnw.pixel_depth / 8;
  for (const ref_dat_struct& r : ref_dat) bytes += r.vram;
  return bytes;
}

void tman_class::unload_texture_internal(int ref) {
  if (ref < 0 || size_t(ref) >= ref_dat.size()) return;
  ref_dat_struct& r = ref_dat[size_t(ref)];
  if (r.tex != 0 && r.tex != tex_slot_blank) TEX_delete_texture(r.tex);
  if (r.load_time == tex_load_now && r.vram) --loaded_count;
  if (r.format) --total_count;
  tex_hash_remove(r.name, ref);
  r = ref_dat_struct();
  r.load_time = tex_load_unloaded;
}

// [SECTION] Public operations

int tman_class::load_texture(int fail_mode, int manual_ref, int flags, int load_time,
                             const char* name) {
  if (!name || !*name) return 0;
  const std::string file = name;
  const bool staged = file.compare(0, tex_staged_prefix_len, tex_staged_prefix) == 0;
  if (load_time == tex_load_now && !staged && !silent_slot(manual_ref))
    g_draw_hooks.show_init(("Loading bitmap " + file + ".").c_str(), nullptr);

  UTL_scoped_lock hold(&lock);
  if (load_time < tex_load_now || load_time > tex_load_unloaded)
    tman_fatal_with_value("Trying to create an invalid texture load_time!", file, load_time);
  if (manual_ref < 0 || manual_ref > tex_last_manual)
    tman_fatal_with_value("Trying to bind too low or high a manual_ref!", file, manual_ref);

  int slot = manual_ref;
  if (manual_ref == 0) {
    const int found = tex_hash_find_dynamic(file);
    if (found && size_t(found) < ref_dat.size()) {
      ref_dat_struct& r = ref_dat[size_t(found)];
      ++r.ref_count;
      if (r.load_time == tex_load_now) return found;
      return load_texture_int(fail_mode, found, flags, name, 0);
    }
    slot = 0;
    for (size_t i = ref_dat.size(); i-- > size_t(tex_first_dynamic);) {
      if (ref_dat[i].format == 0) {
        slot = int(i);
        break;
      }
    }
    if (!slot)
      slot = ref_dat.size() > size_t(tex_first_dynamic) ? int(ref_dat.size()) : tex_first_dynamic;
  }

  if (ref_dat.size() <= size_t(slot)) ref_dat.resize(size_t(slot) + 1);
  ref_dat_struct& r = ref_dat[size_t(slot)];
  tex_hash_remove(r.name, slot);
  tex_hash_add(file, slot);

  if (r.format == 0) {
    r.name = file;
    r.load_time = tex_load_now;
    r.dx = r.dy = r.tex_dx = r.tex_dy = 0;
    r.vram = 0;
    r.ref_count = manual_ref == 0 ? 1 : -1;
    r.flags = flags;
    r.fail_mode = fail_mode;
    r.format = GL_RGBA;
    ++total_count;
  }

  if (load_time == tex_load_deferred) {
    // Registered only: deferred loading finds it, even behind its cursor.
    r.name = file;
    r.load_time = tex_load_deferred;
    r.flags = flags;
    r.fail_mode = fail_mode;
    if (slot < async_cursor_) async_cursor_ = slot;
    return slot;
  }

  const int loaded = load_texture_int(fail_mode, slot, flags, name, 1);
  return loaded == 0 && manual_ref != 0 ? 0 : slot;
}

void tman_class::bind_ref(int ref, int unit, int mode) {
  UTL_scoped_lock hold(&lock);
  // Slot 0, and a slot beyond the records, which nothing ever registered
  // (there is no record to name in a warning): no texture.
  if (ref <= 0 || size_t(ref) >= ref_dat.size()) {
    TEX_bind_ref(0, unit, mode);
    return;
  }
  const ref_dat_struct& r = ref_dat[size_t(ref)];
  if (r.load_time == tex_load_now) {
    TEX_bind_ref(r.tex, unit, mode);
    return;
  }
  if (r.load_time != tex_load_deferred)
    MACIBM_alert(wind_main, "missing non-scenery texture - how?", "",
                 UTL_format_number("ref=%6.0f", ref).c_str(), r.name.c_str(), t_alert);
  // Without a blank texture registered the slot shows no texture at all.
  int blank = 0;
  if (size_t(tex_slot_blank) < ref_dat.size() && ref_dat[tex_slot_blank].load_time == tex_load_now)
    blank = ref_dat[tex_slot_blank].tex;
  TEX_bind_ref(blank, unit, mode);
}

void tman_class::unload_texture(int ref) {
  UTL_scoped_lock hold(&lock);
  if (ref > tex_last_manual)
    MACIBM_alert(wind_main, "Error: dynamic textures should be released, not unloaded.",
                 "value:", UTL_format_number("%1.0f", ref).c_str(), "", t_exit);
  unload_texture_internal(ref);
}

void tman_class::release_texture(int ref) {
  UTL_scoped_lock hold(&lock);
  if (ref < tex_first_dynamic)
    MACIBM_alert(wind_main, "Trying to release a manual texture - use unload_texture.",
                 "value:", UTL_format_number("%1.0f", ref).c_str(), "", t_exit);
  // A slot beyond the records was never handed out: its count reads -1.
  int* count = size_t(ref) < ref_dat.size() ? &ref_dat[size_t(ref)].ref_count : nullptr;
  if (!count || *count == -1)
    MACIBM_alert(wind_main, "Ref count is negative - was never reffed.",
                 "value:", UTL_format_number("%1.0f", ref).c_str(), "", t_exit);
  if (--*count < 0)
    MACIBM_alert(wind_main, "Ref count went negative",
                 "value:", UTL_format_number("%1.0f", ref).c_str(), "", t_exit);
}

void tman_class::purge_unused_texes() {
  UTL_scoped_lock hold(&lock);
  for (size_t i = tex_first_dynamic; i < ref_dat.size(); ++i)
    if (ref_dat[i].ref_count == 0) unload_texture_internal(int(i));
}

void tman_class::reset_bind() {
  UTL_scoped_lock hold(&lock);
  TEX_reset_bind();
}

void tman_class::reset() {
  UTL_scoped_lock hold(&lock);
  tex_hash.clear();
  ref_dat.clear();
  loaded_count = total_count = 0;
  scene_load_fail = plane_load_fail = instl_load_fail = 0;
  async_cursor_ = 0;
  async_vars_ = tex_load_vars();
  async_work_ = nullptr;
  async_result_ = tex_io_failed;
  async_finisher_ = nullptr;
  TEX_reset_bind();
}

void tman_class::set_blend_level(int unit, float level) {
  UTL_scoped_lock hold(&lock);
  TEX_set_blend_level(unit, level);
}

// [SECTION] Deferred loading

int tman_class::num_remaining_async_texes() {
  UTL_scoped_lock hold(&lock);
  int n = 0;
  for (const ref_dat_struct& r : ref_dat) n += r.load_time == tex_load_deferred;
  return n;
}

int tman_class::load_scenery_async_register(tman_force_finish_obj* finisher) {
  UTL_scoped_lock hold(&lock);
  // The decode buffer and the work record are single.
  if (async_finisher_) return 0;
  for (size_t i = size_t(async_cursor_); i < ref_dat.size(); ++i) {
    const ref_dat_struct& r = ref_dat[i];
    if (r.load_time != tex_load_deferred) continue;
    async_cursor_ = int(i);
    async_finisher_ = finisher;
    async_vars_ = tex_load_vars();
    async_vars_.fail_mode = r.fail_mode;
    async_vars_.ref = int(i);
    async_vars_.flags = r.flags;
    async_vars_.name = r.name;
    async_vars_.deferred = 0;
    async_result_ = tex_io_failed;
    async_work_ = &async_vars_;
    return 1;
  }
  async_cursor_ = int(ref_dat.size());
  return 0;
}

int tman_class::load_scenery_async_work() {
  // No lock: the main thread may hold it while it waits for this decode.
  // The work record and the decode buffer are this thread's until the
  // finisher returns.
  async_result_ = load_texture_io(*async_work_);
  return async_result_;
}

int tman_class::load_scenery_async_finalize() {
  UTL_scoped_lock hold(&lock);
  if (!async_finisher_) return 0;
  async_finisher_->force_finish();
  tex_load_vars& work = *async_work_;
  async_finisher_ = nullptr;
  async_work_ = nullptr;
  // A record unloaded, reloaded or given another name meanwhile is not
  // overwritten with what was decoded for its old self.
  if (work.ref < 0 || size_t(work.ref) >= ref_dat.size()) return 0;
  const ref_dat_struct& r = ref_dat[size_t(work.ref)];
  if (r.load_time != tex_load_deferred || r.name != work.name) return 0;
  return load_texture_ogl(work, async_result_);
}

void tman_class::force_load_tex(int ref) {
  UTL_scoped_lock hold(&lock);
  load_scenery_async_finalize();
  if (ref < 0 || size_t(ref) >= ref_dat.size()) return;
  const ref_dat_struct r = ref_dat[size_t(ref)];
  if (r.load_time == tex_load_deferred)
    load_texture_int(r.fail_mode, ref, r.flags, r.name.c_str(), 1);
}

void tman_class::load_all_scenery_texes() {
  UTL_critical_section_lock(&lock);
  load_scenery_async_finalize();
  const int total = num_remaining_async_texes();
  int done = 0;
  for (size_t i = 0; i < ref_dat.size(); ++i) {
    if (ref_dat[i].load_time != tex_load_deferred) continue;
    const std::string name = ref_dat[i].name;
    UTL_critical_section_unlock(&lock);
    float fraction = total ? float(done) / float(total) : 0.0f;
    g_draw_hooks.show_init(("Loading scenery texture " + name).c_str(), &fraction);
    UTL_critical_section_lock(&lock);
    ++done;
    // The screen may have run a frame that changed the record.
    if (i < ref_dat.size() && ref_dat[i].load_time == tex_load_deferred)
      load_texture_int(ref_dat[i].fail_mode, int(i), ref_dat[i].flags, ref_dat[i].name.c_str(), 0);
  }
  UTL_critical_section_unlock(&lock);
}

tman_async_loader::~tman_async_loader() { force_finish(); }

int tman_async_loader::start() {
  if (call_ || !tman.load_scenery_async_register(this)) return 0;
  call_ = THREAD_run_async(
      [](void*) -> void* {
        tman.load_scenery_async_work();
        return nullptr;
      },
      nullptr);
  return 1;
}

void tman_async_loader::force_finish() {
  if (!call_) return;
  // In steps: each one shows a fatal error record the worker may have sent
  // instead of its reply.
  while (!THREAD_is_done(call_, 50)) {
  }
  THREAD_cleanup(call_);
  call_ = nullptr;
}

int tman_async_loader::poll() {
  if (call_) {
    if (!THREAD_is_done(call_, 0)) return 0;
    THREAD_cleanup(call_);
    call_ = nullptr;
  }
  return tman.load_scenery_async_finalize();
}
