// The chunked vertex buffer: offsets, the bytes of both finalised forms (the
// buffer object read back with glGetBufferSubData), mapping, and what the
// memory statistic and the binding cache hold afterwards.
#include "draw/chunky_buffer.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/stats.h"
#include "draw/render_state.h"
#include "OGL/extensions.h"
#include "tests/support/gl_context.h"

namespace {

// Appends bytes to a region the way a writer does, chaining chunks.
std::string write(OGL_chunkybuffer::subregion* r, size_t n, char seed) {
  std::string written;
  for (size_t i = 0; i < n; ++i) {
    if (r->cur_chunk->free_bytes == 0) OGL_chunkybuffer::append_chunk(r);
    const char b = char(seed + i * 7);
    *r->write_ptr++ = (unsigned char)b;
    --r->cur_chunk->free_bytes;
    written += b;
  }
  return written;
}

GLint array_binding() {
  GLint b = -1;
  glGetIntegerv(GL_ARRAY_BUFFER_BINDING_ARB, &b);
  return b;
}

class ChunkyBufferTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NO_FATAL_FAILURE(testing_support::load_gl_extensions(gl_)); }

  // Three regions of 1024 + 101, 0 and 13 bytes: tails that are no multiple
  // of 4 bytes.
  std::string fill(OGL_chunkybuffer& b) {
    regions_[0] = b.new_subregion();
    regions_[1] = b.new_subregion();
    regions_[2] = b.new_subregion();
    return write(regions_[0], 1125, 1) + write(regions_[2], 13, 50);
  }
  float stat() { return OGL_chunky_memory_stat().own_value; }

  testing_support::GLContext gl_{16, 16};
  OGL_chunkybuffer::subregion* regions_[3] = {};
};

TEST_F(ChunkyBufferTest, OffsetsAndTheMemoryForm) {
  const float before = stat();
  {
    OGL_chunkybuffer b;
    const std::string bytes = fill(b);
    b.calc_offsets();
    EXPECT_EQ(regions_[0]->offset, 0);
    EXPECT_EQ(regions_[1]->offset, 1125);
    EXPECT_EQ(regions_[2]->offset, 1125);
    EXPECT_EQ(b.total_size, 1138);

    b.finalize_mem();
    ASSERT_NE(b.data, nullptr);
    EXPECT_EQ(std::string(static_cast<char*>(b.data), 1138), bytes);
    EXPECT_EQ(regions_[0]->first_chunk, nullptr);
    EXPECT_FALSE(b.is_mapped());
    // No buffer object: map and unmap leave the block alone.
    void* block = b.data;
    b.map();
    b.unmap();
    EXPECT_EQ(b.data, block);
    EXPECT_EQ(stat(), before + 1138);
  }
  EXPECT_EQ(stat(), before);
  {
    // Never finalised: nothing was counted, nothing is taken off.
    OGL_chunkybuffer b;
    fill(b);
    b.calc_offsets();
  }
  EXPECT_EQ(stat(), before);
}

TEST_F(ChunkyBufferTest, TheBufferObjectFormMapsAndKeepsTheBinding) {
  GLuint other = 0;
  glExt.glGenBuffersARB(1, &other);
  glExt.glBindBufferARB(GL_ARRAY_BUFFER_ARB, other);

  OGL_chunkybuffer b;
  const std::string bytes = fill(b);
  b.finalize_vbo(1);
  ASSERT_NE(b.vbo, 0u);
  EXPECT_EQ(b.data, nullptr);
  EXPECT_EQ(array_binding(), GLint(other));
  glExt.glBindBufferARB(GL_ARRAY_BUFFER_ARB, b.vbo);
  GLint size = 0, usage = 0;
  glExt.glGetBufferParameterivARB(GL_ARRAY_BUFFER_ARB, GL_BUFFER_SIZE_ARB, &size);
  glExt.glGetBufferParameterivARB(GL_ARRAY_BUFFER_ARB, GL_BUFFER_USAGE_ARB, &usage);
  EXPECT_EQ(size, 1138);
  EXPECT_EQ(usage, GL_STATIC_DRAW_ARB);
  std::string back(1138, '\0');
  glExt.glGetBufferSubDataARB(GL_ARRAY_BUFFER_ARB, 0, 1138, &back[0]);
  EXPECT_EQ(back, bytes);
  glExt.glBindBufferARB(GL_ARRAY_BUFFER_ARB, other);

  b.map();
  ASSERT_TRUE(b.is_mapped());
  EXPECT_EQ(array_binding(), GLint(other));
  EXPECT_EQ(std::string(static_cast<char*>(b.data), 1138), bytes);
  memcpy(static_cast<char*>(b.data) + 1125, "thirteen byte", 13);
  b.unmap();
  EXPECT_FALSE(b.is_mapped());
  EXPECT_EQ(array_binding(), GLint(other));
  glExt.glBindBufferARB(GL_ARRAY_BUFFER_ARB, b.vbo);
  glExt.glGetBufferSubDataARB(GL_ARRAY_BUFFER_ARB, 1125, 13, &back[0]);
  EXPECT_EQ(back.substr(0, 13), "thirteen byte");
}

TEST_F(ChunkyBufferTest, AnEmptyBufferObjectMapsNothing) {
  OGL_chunkybuffer b;
  b.finalize_vbo(0);
  EXPECT_EQ(b.total_size, 0);
  ASSERT_NE(b.vbo, 0u);
  glExt.glBindBufferARB(GL_ARRAY_BUFFER_ARB, b.vbo);
  GLint size = -1, usage = 0;
  glExt.glGetBufferParameterivARB(GL_ARRAY_BUFFER_ARB, GL_BUFFER_SIZE_ARB, &size);
  glExt.glGetBufferParameterivARB(GL_ARRAY_BUFFER_ARB, GL_BUFFER_USAGE_ARB, &usage);
  EXPECT_EQ(size, 0);
  EXPECT_EQ(usage, GL_STREAM_DRAW_ARB);
  b.map();
  EXPECT_FALSE(b.is_mapped());
  b.unmap();
  EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

// Calls after finalising keep the one buffer, its layout and the memory
// figure; destruction takes off exactly what finalising added and frees
// everything there was.
TEST_F(ChunkyBufferTest, CallsAfterFinalisingKeepTheBufferAndTheFigure) {
  enum step { calc, mem, vbo };
  const char* const step_names[] = {"calc_offsets", "finalize_mem", "finalize_vbo"};
  const struct {
    step first, second;
  } cases[] = {{mem, calc}, {vbo, calc}, {mem, mem}, {vbo, vbo}, {mem, vbo}, {vbo, mem}};
  const float before = stat();
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << step_names[c.first] << ", then " << step_names[c.second]);
    GLuint name = 0;
    {
      OGL_chunkybuffer b;
      const std::string bytes = fill(b);
      for (step s : {c.first, c.second}) {
        if (s == calc) b.calc_offsets();
        if (s == mem) b.finalize_mem();
        if (s == vbo) b.finalize_vbo(1);
      }
      EXPECT_EQ(b.total_size, 1138);
      EXPECT_EQ(regions_[1]->offset, 1125);
      EXPECT_EQ(regions_[2]->offset, 1125);
      EXPECT_EQ(stat(), before + 1138);
      std::string held(1138, '\0');
      if (c.first == vbo) {
        name = b.vbo;
        EXPECT_EQ(b.data, nullptr);
        glExt.glBindBufferARB(GL_ARRAY_BUFFER_ARB, b.vbo);
        glExt.glGetBufferSubDataARB(GL_ARRAY_BUFFER_ARB, 0, 1138, &held[0]);
        glExt.glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
      } else {
        EXPECT_EQ(b.vbo, 0u);
        ASSERT_NE(b.data, nullptr);
        memcpy(&held[0], b.data, held.size());
      }
      EXPECT_EQ(held, bytes);
    }
    EXPECT_EQ(stat(), before);
    // Every buffer object the steps made is gone with the buffer.
    for (GLuint n = 1; n <= name + 4; ++n) EXPECT_FALSE(glExt.glIsBufferARB(n)) << n;
  }
}

// A destroyed buffer leaves the binding cache at 0: a new buffer that gets
// the same name is bound for real.
TEST_F(ChunkyBufferTest, DestructionClearsTheCachedBinding) {
  GLuint name = 0;
  {
    OGL_chunkybuffer b;
    fill(b);
    b.finalize_vbo(1);
    name = b.vbo;
    OGL_bind_vbo(b.vbo);
    EXPECT_EQ(array_binding(), GLint(name));
  }
  EXPECT_EQ(array_binding(), 0);
  EXPECT_FALSE(glExt.glIsBufferARB(name));
  OGL_chunkybuffer again;
  fill(again);
  again.finalize_vbo(1);
  OGL_bind_vbo(again.vbo);
  EXPECT_EQ(array_binding(), GLint(again.vbo));
}

}  // namespace
