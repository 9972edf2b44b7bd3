// The chunked vertex buffer: chunks and sub-regions while collecting, one
// buffer object or memory block once finalised.
#include "draw/chunky_buffer.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <cstring>

#include "core/alert.h"
#include "core/globals.h"
#include "core/stats.h"
#include "draw/render_state.h"
#include "OGL/extensions.h"

static UTL_stat g_mem_used("memory/chunky_buffers", stat_memory, 0.0f);

UTL_stat& OGL_chunky_memory_stat() { return g_mem_used; }

namespace {

// Binds a buffer on the array target for the life of the object, then puts
// back what was bound, so the render-state cache stays right.
class array_binding {
 public:
  explicit array_binding(GLuint vbo) {
    glGetIntegerv(GL_ARRAY_BUFFER_BINDING_ARB, &previous_);
    glExt.glBindBufferARB(GL_ARRAY_BUFFER_ARB, vbo);
  }
  ~array_binding() { glExt.glBindBufferARB(GL_ARRAY_BUFFER_ARB, GLuint(previous_)); }
  array_binding(const array_binding&) = delete;
  array_binding& operator=(const array_binding&) = delete;

 private:
  GLint previous_ = 0;
};

int used(const OGL_chunkybuffer::chunk* c) { return OGL_chunkybuffer::kChunkBytes - c->free_bytes; }

}  // namespace

OGL_chunkybuffer::subregion* OGL_chunkybuffer::new_subregion() {
  subregion* r = new subregion;
  r->first_chunk = r->cur_chunk = new chunk;
  r->write_ptr = r->cur_chunk->data;
  if (last)
    last->next_region = r;
  else
    first = r;
  last = r;
  return r;
}

OGL_chunkybuffer::chunk* OGL_chunkybuffer::append_chunk(subregion* region) {
  chunk* c = new chunk;
  if (region->cur_chunk)
    region->cur_chunk->next_chunk = c;
  else
    region->first_chunk = c;
  region->cur_chunk = c;
  region->write_ptr = c->data;
  return c;
}

void OGL_chunkybuffer::calc_offsets() {
  // Once finalised the chunks are gone: counting them again would zero the
  // offsets that drawing code addresses the one buffer by.
  if (finalized_) return;
  total_size = 0;
  for (subregion* r = first; r; r = r->next_region) {
    r->offset = total_size;
    for (chunk* c = r->first_chunk; c; c = c->next_chunk) total_size += used(c);
  }
}

namespace {

void free_chunks(OGL_chunkybuffer::subregion* r) {
  for (OGL_chunkybuffer::chunk* c = r->first_chunk; c;) {
    OGL_chunkybuffer::chunk* next = c->next_chunk;
    delete c;
    c = next;
  }
  r->first_chunk = r->cur_chunk = nullptr;
  r->write_ptr = nullptr;
}

}  // namespace

void OGL_chunkybuffer::finalize_vbo(int static_data) {
  // A second finalise, in either form, would find no chunks left and trade
  // the storage holding them for an empty one.
  if (finalized_) return;
  calc_offsets();
  counted_bytes_ = total_size;
  g_mem_used.own_value += float(counted_bytes_);
  finalized_ = true;
  glExt.glGenBuffersARB(1, &vbo);
  array_binding bound(vbo);
  glExt.glBufferDataARB(GL_ARRAY_BUFFER_ARB, total_size, nullptr,
                        static_data ? GL_STATIC_DRAW_ARB : GL_STREAM_DRAW_ARB);
  data = nullptr;
  int at = 0;
  for (subregion* r = first; r; r = r->next_region) {
    for (chunk* c = r->first_chunk; c; c = c->next_chunk) {
      glExt.glBufferSubDataARB(GL_ARRAY_BUFFER_ARB, at, used(c), c->data);
      at += used(c);
    }
    free_chunks(r);
  }
}

void OGL_chunkybuffer::finalize_mem() {
  // A second finalise, in either form, would find no chunks left and trade
  // the storage holding them for an empty one.
  if (finalized_) return;
  calc_offsets();
  counted_bytes_ = total_size;
  g_mem_used.own_value += float(counted_bytes_);
  finalized_ = true;
  unsigned char* block = new unsigned char[total_size > 0 ? size_t(total_size) : 1];
  data = block;
  // Whole used lengths: a tail that is not a multiple of 4 bytes is kept too.
  for (subregion* r = first; r; r = r->next_region) {
    for (chunk* c = r->first_chunk; c; c = c->next_chunk) {
      memcpy(block, c->data, size_t(used(c)));
      block += used(c);
    }
    free_chunks(r);
  }
}

void OGL_chunkybuffer::map() {
  // A buffer of 0 bytes has no storage to map; asking would look like a
  // failure and end the program.
  if (!vbo || total_size == 0) return;
  array_binding bound(vbo);
  data = glExt.glMapBufferARB(GL_ARRAY_BUFFER_ARB, GL_READ_WRITE_ARB);
  if (!data)
    MACIBM_alert(wind_main, "Nimbrel has run out of video card memory.",
                 "I was unable to shift the scenery.",
                 "Try running Nimbrel with lower rendering settings.",
                 "If that does not help, please report this to Tessaly Works!", t_exit);
}

void OGL_chunkybuffer::unmap() {
  if (!vbo || !data) return;
  array_binding bound(vbo);
  glExt.glUnmapBufferARB(GL_ARRAY_BUFFER_ARB);
  data = nullptr;
}

OGL_chunkybuffer::~OGL_chunkybuffer() {
  if (vbo) {
    // Through the cache, so that it does not keep a deleted name as bound.
    const unsigned long none = 0;
    OGL_bind_vbo(none);
    OGL_bind_vbo_ind(none);
    glExt.glDeleteBuffersARB(1, &vbo);
  } else {
    delete[] static_cast<unsigned char*>(data);
  }
  for (subregion* r = first; r;) {
    subregion* next = r->next_region;
    free_chunks(r);
    delete r;
    r = next;
  }
  g_mem_used.own_value -= float(counted_bytes_);
}
