// GLSL programs, their variant families and ARB assembly programs: built
// from the files under "Resources/shaders/", logged when they fail, and
// rebuilt by the remote command "Reload Pixel Shaders...".
//
// Contents
//   [SECTION] Module state
//   [SECTION] GLSL programs
//   [SECTION] Variant families
//   [SECTION] ARB assembly programs
//   [SECTION] The reload command
#include "OGL/shaders.h"

#include <algorithm>
#include <stdexcept>

#include "core/alert.h"
#include "core/files/xmap.h"
#include "core/globals.h"
#include "core/stats.h"
#include "core/util/text_util.h"
#include "OGL/extensions.h"

namespace {

const char kShaderFolder[] = "Resources/shaders/";

// The platform block comes first in every GLSL shader; LIMITED marks the
// first generation of shader hardware.
std::string platform_block() {
  std::string block = "#define APL 0\n#define IBM 0\n#define LIN 1\n";
  block += glExt.first_gen_shaders ? "#define LIMITED 1\n" : "#define LIMITED 0\n";
  return block;
}

// The compiler takes "#version" only before everything else, so a file that
// opens with one has it lifted above the platform block.
std::string lift_version(std::string& text) {
  const size_t start = text.find_first_not_of(" \t\r\n");
  if (start == std::string::npos || text.compare(start, 8, "#version") != 0) return "";
  size_t end = text.find('\n', start);
  end = end == std::string::npos ? text.size() : end + 1;
  std::string line = text.substr(start, end - start);
  if (line.back() != '\n') line += '\n';
  text.erase(0, end);
  return line;
}

std::vector<std::string> names_of(const char** list) {
  std::vector<std::string> out;
  for (; list && *list; ++list) out.push_back(*list);
  return out;
}

void shader_misuse(const char* what, int value) {
  MACIBM_alert(wind_main, what, "value:", UTL_format_number("%1.0f", value).c_str(), "", t_exit);
}

}  // namespace

void log_shader_obj(const std::string& name, const std::string& prefix, GLhandleARB object) {
  GLint length = 0;
  glExt.glGetObjectParameterivARB(object, GL_OBJECT_INFO_LOG_LENGTH_ARB, &length);
  std::string text;
  if (length > 0) {
    std::vector<char> buffer(size_t(length) + 1, '\0');
    GLsizei written = 0;
    glExt.glGetInfoLogARB(object, length, &written, buffer.data());
    if (written > 0) text.assign(buffer.data(), size_t(std::min<GLsizei>(written, length)));
  }
  xer << "=====" << name << "=====\n"
      << "   (prefix:\n"
      << prefix << "end prefix)\n"
      << text << "\n";
  xer.flush();
}

// [SECTION] Module state

// No shader is made before main: each needs a current context.
OGL_shader_state ogl_shaders;

void OGL_shader_state::reset() {
  current_glsl = nullptr;
  current_prog[0] = current_prog[1] = nullptr;
}

// [SECTION] GLSL programs

OGL_shader*& OGL_shader::current_shader = ogl_shaders.current_glsl;

std::set<OGL_shader*>& OGL_shader::shaders() { return ogl_shaders.live_glsl; }

OGL_shader::OGL_shader(const std::string& vertex_file, const std::string& fragment_file,
                       const char* prefix, const std::vector<std::string>& uniform_names)
    : vertex_path_(kShaderFolder + vertex_file),
      fragment_path_(kShaderFolder + fragment_file),
      uniform_names_(uniform_names) {
  init(prefix);
}

OGL_shader::OGL_shader(const char* vertex_file, const char* fragment_file, const char* prefix,
                       const char** uniform_names)
    : vertex_path_(std::string(kShaderFolder) + (vertex_file ? vertex_file : "")),
      fragment_path_(std::string(kShaderFolder) + (fragment_file ? fragment_file : "")),
      uniform_names_(names_of(uniform_names)) {
  init(prefix);
}

void OGL_shader::init(const char* prefix) {
  shaders().insert(this);
  prefix_ = prefix && *prefix ? prefix : "// no prefix\n";
  program_ = glExt.glCreateProgramObjectARB();
  uniform_locs_.assign(uniform_names_.size(), -1);
  reload(0);
}

OGL_shader::~OGL_shader() {
  shaders().erase(this);
  // A later shader made at this address must not be taken for current.
  if (current_shader == this) unbind_shaders();
  if (fragment_) glExt.glDeleteObjectARB(fragment_);
  if (vertex_) glExt.glDeleteObjectARB(vertex_);
  glExt.glDeleteObjectARB(program_);
}

void OGL_shader::bind() {
  if (current_shader == this) return;
  glExt.glUseProgramObjectARB(program_);
  current_shader = this;
}

void OGL_shader::unbind_shaders() {
  if (!current_shader) return;
  glExt.glUseProgramObjectARB(0);
  current_shader = nullptr;
}

int OGL_shader::get_uniform_loc(int n) const {
  if (n < 0 || size_t(n) >= uniform_locs_.size()) throw std::out_of_range("vector::_M_range_check");
  return uniform_locs_[size_t(n)];
}

bool OGL_shader::compile(GLenum kind, const std::string& path, const std::string& block,
                         GLhandleARB& shader) {
  if (shader) {
    glExt.glDetachObjectARB(program_, shader);
    glExt.glDeleteObjectARB(shader);
  }
  shader = glExt.glCreateShaderObjectARB(kind);
  std::string text;
  {
    xmap_class map(path.c_str());
    if (!map.map_begin)
      MACIBM_alert(wind_main, "We were unable to load the shader file:", path.c_str(), "",
                   "Re-run the Nimbrel installer/updater to correct this problem.", t_exit);
    else
      text.assign(map.map_begin, map.map_end);
  }
  const std::string head = lift_version(text) + block;
  const GLcharARB* strings[3] = {head.c_str(), prefix_.c_str(), text.c_str()};
  const GLint lengths[3] = {GLint(head.size()), GLint(prefix_.size()), GLint(text.size())};
  glExt.glShaderSourceARB(shader, 3, strings, lengths);
  glExt.glCompileShaderARB(shader);
  GLint compiled = 0;
  glExt.glGetObjectParameterivARB(shader, GL_OBJECT_COMPILE_STATUS_ARB, &compiled);
  if (!compiled) log_shader_obj(path, head + prefix_, shader);
  glExt.glAttachObjectARB(program_, shader);
  return compiled != 0;
}

void OGL_shader::reload(int warn_only) {
  for (int attempt = 1;; ++attempt) {
    const std::string block = platform_block();
    bool ok = compile(GL_VERTEX_SHADER_ARB, vertex_path_, block, vertex_);
    ok = compile(GL_FRAGMENT_SHADER_ARB, fragment_path_, block, fragment_) && ok;
    glExt.glLinkProgramARB(program_);
    GLint linked = 0;
    glExt.glGetObjectParameterivARB(program_, GL_OBJECT_LINK_STATUS_ARB, &linked);
    if (!linked) {
      ok = false;
      log_shader_obj(vertex_path_ + "+" + fragment_path_, block + prefix_, program_);
    }
    for (size_t i = 0; i < uniform_names_.size(); ++i)
      uniform_locs_[i] = glExt.glGetUniformLocationARB(program_, uniform_names_[i].c_str());
    if (ok) return;
    MACIBM_alert(wind_main, "There was a problem processing a GLSL pixel shader.",
                 "You may need to rerun the installer or update your graphics drivers.",
                 vertex_path_.c_str(), fragment_path_.c_str(), warn_only ? t_alert : t_exit);
    // An alert that returns at once (as with "--fps_test") must not keep the
    // loop spinning on a file nobody is fixing.
    if (attempt >= kShaderAttempts) {
      xer << "Giving up on the shader " << vertex_path_ << "+" << fragment_path_ << "\n";
      xer.flush();
      return;
    }
  }
}

void OGL_shader::reload_all_shaders(int warn_only) {
  for (OGL_shader* s : shaders()) s->reload(warn_only);
}

// [SECTION] Variant families

OGL_shader_conditional::OGL_shader_conditional(const char* vertex_file, const char* fragment_file,
                                               const char** uniform_names, const char** flag_names,
                                               const int* flag_counts, const char* prefix)
    : prefix_(prefix ? prefix : ""),
      vertex_file_(vertex_file ? vertex_file : ""),
      fragment_file_(fragment_file ? fragment_file : ""),
      uniform_names_(names_of(uniform_names)),
      flag_names_(names_of(flag_names)) {
  size_t total = 1;
  for (size_t i = 0; i < flag_names_.size(); ++i) {
    const int count = flag_counts ? flag_counts[i] : 2;
    // A flag with no value would leave the family without a single variant.
    if (count < 1) shader_misuse("A shader flag needs at least one value.", count);
    flag_counts_.push_back(count);
    total *= size_t(count);
  }
  variants_.assign(total, nullptr);
}

OGL_shader_conditional::~OGL_shader_conditional() {
  for (OGL_shader* v : variants_) delete v;
}

int OGL_shader_conditional::id_from_flags(const int* flags) const {
  int id = 0;
  for (size_t i = flag_counts_.size(); i-- > 0;) id = id * flag_counts_[i] + flags[i];
  return id;
}

int OGL_shader_conditional::flags_from_id(int id, int* flags) const {
  for (size_t i = 0; i < flag_counts_.size(); ++i) {
    flags[i] = id % flag_counts_[i];
    id /= flag_counts_[i];
  }
  return int(flag_counts_.size());
}

void OGL_shader_conditional::check_id(int id, const char* what) const {
  if (id < 0 || size_t(id) >= variants_.size()) shader_misuse(what, id);
}

OGL_shader* OGL_shader_conditional::variant(int id) const {
  return id >= 0 && size_t(id) < variants_.size() ? variants_[size_t(id)] : nullptr;
}

void OGL_shader_conditional::bind(int id) {
  check_id(id, "Binding a shader variant that does not exist.");
  if (!variants_[size_t(id)]) build(id);
  variants_[size_t(id)]->bind();
}

void OGL_shader_conditional::build(int id) {
  check_id(id, "Building a shader variant that does not exist.");
  std::vector<int> flags(flag_counts_.size());
  flags_from_id(id, flags.data());
  std::string prefix = prefix_;
  for (size_t i = 0; i < flags.size(); ++i)
    prefix += "#define " + flag_names_[i] + " " + std::to_string(flags[i]) + "\n";
  OGL_shader* made = new OGL_shader(vertex_file_, fragment_file_, prefix.c_str(), uniform_names_);
  delete variants_[size_t(id)];
  variants_[size_t(id)] = made;
}

int OGL_shader_conditional::get_uniform_loc(int id, int n) const {
  check_id(id, "Asking a shader variant that does not exist for a uniform.");
  if (!variants_[size_t(id)])
    shader_misuse("Asking a shader variant that was never built for a uniform.", id);
  return variants_[size_t(id)]->get_uniform_loc(n);
}

// [SECTION] ARB assembly programs

const GLenum shader_types[2] = {GL_FRAGMENT_PROGRAM_ARB, GL_VERTEX_PROGRAM_ARB};
OGL_shader_prog* (&OGL_shader_prog::current_shader)[2] = ogl_shaders.current_prog;

std::set<OGL_shader_prog*>& OGL_shader_prog::shaders() { return ogl_shaders.live_progs; }

OGL_shader_prog::OGL_shader_prog(int type, const char* file)
    : type_(type == shader_prog_vertex ? shader_prog_vertex : shader_prog_fragment),
      path_(std::string(kShaderFolder) + (file ? file : "")) {
  shaders().insert(this);
  glExt.glGenProgramsARB(1, &id_);
  reload(0);
}

OGL_shader_prog::~OGL_shader_prog() {
  if (current_shader[type_] == this) unbind_shaders();
  glExt.glDeleteProgramsARB(1, &id_);
  shaders().erase(this);
}

void OGL_shader_prog::bind() {
  if (current_shader[type_] == this) return;
  glEnable(shader_types[type_]);
  glExt.glBindProgramARB(shader_types[type_], id_);
  current_shader[type_] = this;
}

void OGL_shader_prog::unbind_shaders() {
  for (int type : {shader_prog_fragment, shader_prog_vertex}) {
    if (!current_shader[type]) continue;
    glDisable(shader_types[type]);
    glExt.glBindProgramARB(shader_types[type], 0);
    current_shader[type] = nullptr;
  }
}

void OGL_shader_prog::reload(int /*unused*/) {
  const GLenum target = shader_types[type_];
  glExt.glBindProgramARB(target, id_);
  xmap_class map(path_.c_str());
  if (!map.map_begin)
    MACIBM_alert(wind_main, "Unable to load shader", path_.c_str(), "",
                 "You may need to reinstall Nimbrel.", t_exit);
  for (int attempt = 1; map.map_begin; ++attempt) {
    // An error left by earlier calls would be taken for this program's.
    for (int i = 0; i < 64 && glGetError() != GL_NO_ERROR; ++i) {
    }
    glExt.glProgramStringARB(target, GL_PROGRAM_FORMAT_ASCII_ARB,
                             GLsizei(map.map_end - map.map_begin), map.map_begin);
    if (glGetError() == GL_NO_ERROR) break;
    GLint position = -1;
    glGetIntegerv(GL_PROGRAM_ERROR_POSITION_ARB, &position);
    if (position != -1) {
      const char* message = reinterpret_cast<const char*>(glGetString(GL_PROGRAM_ERROR_STRING_ARB));
      MACIBM_alert(wind_main, "There was an error with your fragment program",
                   UTL_format_number("%f", position).c_str(), "", message ? message : "", t_alert);
    }
    if (attempt >= kShaderAttempts) {
      xer << "Giving up on the program " << path_ << "\n";
      xer.flush();
      break;
    }
    map.retry(path_.c_str());
  }
  GLint native = 1;
  glExt.glGetProgramivARB(target, GL_PROGRAM_UNDER_NATIVE_LIMITS_ARB, &native);
  if (!native) {
    xer << "Warning: pixel shader " << path_ << " not under native limits.\n";
    xer.flush();
  }
  glExt.glBindProgramARB(target, current_shader[type_] ? current_shader[type_]->id_ : 0);
}

void OGL_shader_prog::reload_all_shaders(int unused) {
  for (OGL_shader_prog* p : shaders()) p->reload(unused);
}

// [SECTION] The reload command

void do_reload() { OGL_shader::reload_all_shaders(1); }

static UTL_remote_cmd cmd_do_pick_tex("Reload Pixel Shaders...", do_reload);
