// Shaders against a real context (Mesa): every program draws one quad over
// the whole frame and the pixel in its middle tells what was built. The
// fixtures (tests/OGL/shaders/) are copied into a scratch
// "Resources/shaders/" that app_path points at.
#include "OGL/shaders.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <stdexcept>
#include <string>

#include "core/globals.h"
#include "core/stats.h"
#include "OGL/extensions.h"
#include "tests/support/gl_context.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_support.h"

namespace {

using testing_support::read_file;
using testing_support::write_file;
using rgb = std::array<int, 3>;

class ShaderTest : public testing_support::TempFolderTest {
 protected:
  ShaderTest() : TempFolderTest("shaders", with_log) {}

  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(TempFolderTest::SetUp());
    ASSERT_NO_FATAL_FAILURE(testing_support::load_gl_extensions(gl_));
    ASSERT_TRUE(glExt.glsl_avail && glExt.fprog_avail && glExt.vprog_avail);
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    unsetenv("DISPLAY");
    const std::string from = std::string(NIMBREL_SOURCE_DIR) + "/tests/OGL/shaders/";
    testing_support::run_command("mkdir -p '" + dir + "Resources/shaders' && cp '" + from + "'* '" +
                                 dir + "Resources/shaders/'");
    app_path = dir;
    ogl_shaders.reset();
  }
  void TearDown() override {
    app_path.clear();
    TempFolderTest::TearDown();
  }

  void put(const std::string& name, const std::string& text) {
    write_file(dir + "Resources/shaders/" + name, text);
  }

  // Draws the quad with whatever program is bound and reads the middle.
  static rgb draw() {
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glColor3f(1, 1, 1);
    glBegin(GL_QUADS);
    glVertex2f(-1, -1);
    glVertex2f(1, -1);
    glVertex2f(1, 1);
    glVertex2f(-1, 1);
    glEnd();
    unsigned char p[4] = {};
    glReadPixels(8, 8, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
    return {p[0], p[1], p[2]};
  }

  static GLhandleARB current_program() { return glExt.glGetHandleARB(GL_PROGRAM_OBJECT_ARB); }

  testing_support::GLContext gl_{16, 16};
};

TEST_F(ShaderTest, PrefixAndPlatformBlockChooseTheColour) {
  OGL_shader red(std::string("plain.vert"), std::string("flags.frag"),
                 "#define FLAG 1\n#define MODE 2\n", {"level", "nothing"});
  red.bind();
  EXPECT_EQ(current_program(), red.handle());
  EXPECT_EQ(draw(), (rgb{255, 0, 0}));
  ASSERT_GE(red.get_uniform_loc(0), 0);
  EXPECT_EQ(red.get_uniform_loc(1), -1);
  glExt.glUniform1fARB(red.get_uniform_loc(0), 1.0f);
  EXPECT_EQ(draw(), (rgb{255, 0, 255}));
  try {
    red.get_uniform_loc(2);
    ADD_FAILURE() << "no exception";
  } catch (const std::out_of_range& e) {
    EXPECT_STREQ(e.what(), "vector::_M_range_check");
  }

  // No prefix: FLAG and MODE are undefined (0) and the platform block still
  // comes first.
  const char* uniforms[] = {"level", nullptr};
  OGL_shader plain("plain.vert", "flags.frag", "", uniforms);
  plain.bind();
  EXPECT_EQ(draw(), (rgb{0, 0, 0}));

  // A file that opens with "#version" still compiles behind the block.
  OGL_shader versioned("plain.vert", "versioned.frag", nullptr, nullptr);
  versioned.bind();
  EXPECT_EQ(draw(), (rgb{0, 0, 255}));
  EXPECT_EQ(OGL_shader::shaders().size(), 3u);
}

TEST_F(ShaderTest, BindCallsOpenGLOnlyForAnotherProgram) {
  OGL_shader a("plain.vert", "flags.frag", "#define FLAG 1\n", nullptr);
  OGL_shader b("plain.vert", "flags.frag", "#define MODE 1\n", nullptr);
  a.bind();
  // Changed behind the class's back: a bind of the current one does not
  // notice, which shows that it made no call.
  glExt.glUseProgramObjectARB(0);
  a.bind();
  EXPECT_EQ(current_program(), 0u);
  b.bind();
  EXPECT_EQ(current_program(), b.handle());
  OGL_shader::unbind_shaders();
  EXPECT_EQ(current_program(), 0u);
  EXPECT_EQ(OGL_shader::current_shader, nullptr);
  {
    OGL_shader gone("plain.vert", "flags.frag", nullptr, nullptr);
    gone.bind();
  }
  EXPECT_EQ(OGL_shader::current_shader, nullptr);
  EXPECT_EQ(current_program(), 0u);
}

TEST_F(ShaderTest, ReloadRebuildsFromTheFilesUnderTheSameHandle) {
  OGL_shader s("plain.vert", "flags.frag", "#define MODE 1\n", nullptr);
  s.bind();
  EXPECT_EQ(draw(), (rgb{0, 255, 0}));
  const GLhandleARB before = s.handle();
  put("flags.frag", "void main() { gl_FragColor = vec4(1.0, 0.0, 1.0, 1.0); }\n");
  // The remote command reloads every live shader.
  UTL_remote_cmd* cmd = UTL_remote_cmd::cmd_list;
  while (cmd && std::string(cmd->name) != "Reload Pixel Shaders...") cmd = cmd->next;
  ASSERT_NE(cmd, nullptr);
  UTL_remote_cmd::invoke(nullptr, cmd->id);
  EXPECT_EQ(s.handle(), before);
  EXPECT_EQ(current_program(), before);
  EXPECT_EQ(draw(), (rgb{255, 0, 255}));
}

TEST_F(ShaderTest, FailedReloadsAreLoggedWarnedAndGivenUp) {
  OGL_shader s("plain.vert", "flags.frag", "#define FLAG 1\n", nullptr);
  put("flags.frag", read_file(dir + "Resources/shaders/broken.frag"));
  s.reload(1);
  std::string log = TempFolderTest::log();
  // Every attempt logs the compile under the file's path with the prefix
  // that was used, warns, and the loop stops.
  size_t count = 0;
  for (size_t at = 0;
       (at = log.find("=====Resources/shaders/flags.frag=====\n", at)) != std::string::npos; ++at)
    ++count;
  EXPECT_EQ(count, size_t(kShaderAttempts));
  EXPECT_NE(log.find("   (prefix:\n#define APL 0\n#define IBM 0\n#define LIN 1\n#define LIMITED "),
            std::string::npos);
  EXPECT_NE(log.find("#define FLAG 1\nend prefix)\n"), std::string::npos);
  EXPECT_NE(log.find("There was a problem processing a GLSL pixel shader."), std::string::npos);

  put("flags.frag", read_file(dir + "Resources/shaders/unlinked.frag"));
  s.reload(1);
  log = TempFolderTest::log();
  EXPECT_NE(log.find("=====Resources/shaders/plain.vert+Resources/shaders/flags.frag=====\n"),
            std::string::npos);
}

TEST_F(ShaderTest, VariantsAreNumberedAndBuiltOnFirstUse) {
  const char* flags[] = {"FLAG", "MODE", nullptr};
  const int counts[] = {2, 3};
  const char* uniforms[] = {"level", nullptr};
  OGL_shader_conditional family("plain.vert", "flags.frag", uniforms, flags, counts, nullptr);
  EXPECT_EQ(family.variant_count(), 6);
  EXPECT_EQ(OGL_shader::shaders().size(), 0u);
  struct {
    int flag, mode;
    rgb colour;
  } cases[] = {{0, 0, {0, 0, 0}},
               {1, 0, {255, 0, 0}},
               {0, 1, {0, 255, 0}},
               {1, 1, {255, 255, 0}},
               {1, 2, {255, 0, 128}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.flag) + "," + std::to_string(c.mode));
    const int values[] = {c.flag, c.mode};
    const int id = family.id_from_flags(values);
    EXPECT_EQ(id, c.flag + 2 * c.mode);
    family.bind(id);
    ASSERT_NE(family.variant(id), nullptr);
    EXPECT_EQ(current_program(), family.variant(id)->handle());
    glExt.glUniform1fARB(family.get_uniform_loc(id, 0), 0.5f);
    const rgb got = draw();
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(got[i], c.colour[i], 1);
  }
  EXPECT_EQ(OGL_shader::shaders().size(), 5u);

  // Rebuilding a variant replaces it: the old one leaves the registry.
  family.build(5);
  EXPECT_EQ(OGL_shader::shaders().size(), 5u);
  EXPECT_EQ(OGL_shader::current_shader, nullptr);

  // Mixed radix, first flag least significant.
  const char* three[] = {"A", "B", "C", nullptr};
  const int radix[] = {3, 2, 4};
  OGL_shader_conditional mixed("plain.vert", "flags.frag", nullptr, three, radix, nullptr);
  OGL_shader_conditional binary("plain.vert", "flags.frag", nullptr, three, nullptr, nullptr);
  OGL_shader_conditional none("plain.vert", "flags.frag", nullptr, nullptr, nullptr, nullptr);
  int out[3] = {};
  EXPECT_EQ(mixed.flags_from_id(17, out), 3);
  EXPECT_EQ((std::array<int, 3>{out[0], out[1], out[2]}), (std::array<int, 3>{2, 1, 2}));
  EXPECT_EQ(mixed.id_from_flags(out), 17);
  EXPECT_EQ(mixed.variant_count(), 24);
  const int bits[] = {1, 0, 1};
  EXPECT_EQ(binary.id_from_flags(bits), 5);
  EXPECT_EQ(binary.variant_count(), 8);
  EXPECT_EQ(none.variant_count(), 1);
  EXPECT_EQ(none.id_from_flags(nullptr), 0);
}

TEST_F(ShaderTest, AssemblyProgramsBindUnbindAndWarn) {
  OGL_shader_prog fragment(shader_prog_fragment, "green.fp");
  OGL_shader_prog vertex(shader_prog_vertex, "pass.vp");
  EXPECT_EQ(draw(), (rgb{255, 255, 255}));
  fragment.bind();
  EXPECT_EQ(draw(), (rgb{0, 255, 0}));
  OGL_shader_prog::unbind_shaders();
  vertex.bind();
  EXPECT_EQ(draw(), (rgb{255, 255, 0}));
  fragment.bind();
  OGL_shader_prog::unbind_shaders();
  EXPECT_FALSE(glIsEnabled(GL_FRAGMENT_PROGRAM_ARB));
  EXPECT_FALSE(glIsEnabled(GL_VERTEX_PROGRAM_ARB));
  EXPECT_EQ(OGL_shader_prog::current_shader[0], nullptr);
  EXPECT_EQ(draw(), (rgb{255, 255, 255}));

  // An error with a position warns (in the fragment-program words for a
  // vertex program too) and the retries end.
  put("pass.vp", read_file(dir + "Resources/shaders/broken.fp").replace(0, 10, "!!ARBvp1.0"));
  vertex.reload(0);
  const std::string log = TempFolderTest::log();
  EXPECT_NE(log.find("There was an error with your fragment program"), std::string::npos);
  EXPECT_NE(log.find("Giving up on the program Resources/shaders/pass.vp"), std::string::npos);
  // A left-over error from before does not fail a good program.
  glBindTexture(GL_TEXTURE_2D, 0);
  glEnable(0x1234);  // GL_INVALID_ENUM
  fragment.reload(0);
  fragment.bind();
  EXPECT_EQ(draw(), (rgb{0, 255, 0}));
  EXPECT_EQ(OGL_shader_prog::shaders().size(), 2u);
}

using ShaderDeathTest = ShaderTest;

TEST_F(ShaderDeathTest, MisuseAndMissingFilesAreFatal) {
  const char* flags[] = {"FLAG", nullptr};
  struct {
    const char* message;
    std::function<void()> call;
  } cases[] = {
      {"There was a problem processing a GLSL pixel shader",
       [] { OGL_shader s("plain.vert", "broken.frag", nullptr, nullptr); }},
      {"We were unable to load the shader file",
       [] { OGL_shader s("plain.vert", "absent.frag", nullptr, nullptr); }},
      {"Unable to load shader", [] { OGL_shader_prog p(shader_prog_fragment, "absent.fp"); }},
      {"variant that does not exist",
       [&] {
         OGL_shader_conditional f("plain.vert", "flags.frag", nullptr, flags, nullptr, nullptr);
         f.bind(2);
       }},
      {"variant that does not exist",
       [&] {
         OGL_shader_conditional f("plain.vert", "flags.frag", nullptr, flags, nullptr, nullptr);
         f.build(-1);
       }},
      {"variant that was never built",
       [&] {
         OGL_shader_conditional f("plain.vert", "flags.frag", nullptr, flags, nullptr, nullptr);
         f.get_uniform_loc(1, 0);
       }},
      {"needs at least one value",
       [&] {
         const int zero[] = {0};
         OGL_shader_conditional f("plain.vert", "flags.frag", nullptr, flags, zero, nullptr);
       }},
  };
  for (const auto& c : cases)
    EXPECT_EXIT(c.call(), testing::ExitedWithCode(1), c.message) << c.message;
}

}  // namespace
