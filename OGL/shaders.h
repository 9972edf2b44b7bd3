// GPU programs loaded from text files under "Resources/shaders/", all
// reloadable while the program runs: GLSL vertex and fragment pairs linked
// into one program (OGL_shader), families of such programs that differ only
// in a few integer switches (OGL_shader_conditional), and ARB assembly
// programs (OGL_shader_prog). Main thread only: the OpenGL context's thread.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "OGL/gl_entry_points.h"

// How many times a reload that keeps failing warns and tries again before it
// gives up and leaves the program as the last attempt made it.
enum { kShaderAttempts = 3 };

class OGL_shader {
 public:
  // File names are under "Resources/shaders/"; the prefix (defines) comes
  // before the file text, after the platform block. A shader that cannot be
  // built here is fatal.
  OGL_shader(const std::string& vertex_file, const std::string& fragment_file, const char* prefix,
             const std::vector<std::string>& uniform_names);
  // uniform_names: a null-terminated list, or null for none.
  OGL_shader(const char* vertex_file, const char* fragment_file, const char* prefix,
             const char** uniform_names);
  ~OGL_shader();
  OGL_shader(const OGL_shader&) = delete;
  OGL_shader& operator=(const OGL_shader&) = delete;

  // Makes the program current unless it already is (through this class).
  void bind();
  static void unbind_shaders();
  // The location of the n-th uniform name after the last build; an n outside
  // the list throws std::out_of_range.
  int get_uniform_loc(int n) const;
  // Recompiles and relinks from the files, keeping the program handle. A
  // failure is fatal with warn_only 0; otherwise it warns and tries again,
  // at most kShaderAttempts times in all.
  void reload(int warn_only);
  static void reload_all_shaders(int warn_only);

  GLhandleARB handle() const { return program_; }

  // The program last made current through this class (null for none).
  static OGL_shader*& current_shader;
  // Every live shader, in address order.
  static std::set<OGL_shader*>& shaders();

 private:
  void init(const char* prefix);
  bool compile(GLenum kind, const std::string& path, const std::string& block, GLhandleARB& shader);

  GLhandleARB program_ = 0;
  GLhandleARB vertex_ = 0;
  GLhandleARB fragment_ = 0;
  std::string vertex_path_;
  std::string fragment_path_;
  std::string prefix_;
  std::vector<std::string> uniform_names_;
  std::vector<int> uniform_locs_;
};

// A family of OGL_shader variants from one pair of files, one per combination
// of values of the named integer switches, each compiled on first use.
// Variant ids are mixed-radix numbers, the first switch least significant.
class OGL_shader_conditional {
 public:
  // uniform_names and flag_names: null-terminated lists (or null for none).
  // flag_counts: the number of values of each flag (each at least 1), or
  // null for two each.
  OGL_shader_conditional(const char* vertex_file, const char* fragment_file,
                         const char** uniform_names, const char** flag_names,
                         const int* flag_counts, const char* prefix);
  ~OGL_shader_conditional();
  OGL_shader_conditional(const OGL_shader_conditional&) = delete;
  OGL_shader_conditional& operator=(const OGL_shader_conditional&) = delete;

  int id_from_flags(const int* flags) const;
  // Writes one value per flag; returns the number of flags.
  int flags_from_id(int id, int* flags) const;
  // Builds the variant when it is not yet built, then binds it.
  void bind(int id);
  // (Re)builds the variant; a variant built before is deleted first.
  void build(int id);
  // The uniform's location in a built variant.
  int get_uniform_loc(int id, int n) const;

  int variant_count() const { return int(variants_.size()); }
  // The built variant, or null.
  OGL_shader* variant(int id) const;

 private:
  void check_id(int id, const char* what) const;

  std::string prefix_;
  std::string vertex_file_;
  std::string fragment_file_;
  std::vector<std::string> uniform_names_;
  std::vector<std::string> flag_names_;
  std::vector<int> flag_counts_;
  std::vector<OGL_shader*> variants_;
};

// The targets of ARB assembly programs, indexing shader_types.
enum shader_prog_type { shader_prog_fragment = 0, shader_prog_vertex = 1 };
extern const GLenum shader_types[2];

class OGL_shader_prog {
 public:
  OGL_shader_prog(int type, const char* file);
  ~OGL_shader_prog();
  OGL_shader_prog(const OGL_shader_prog&) = delete;
  OGL_shader_prog& operator=(const OGL_shader_prog&) = delete;

  void bind();
  // Fragment target first, then vertex: disables and unbinds what is current.
  static void unbind_shaders();
  // Loads the program text again; an error with a position warns and tries
  // again, at most kShaderAttempts times in all. The argument is not used.
  void reload(int unused);
  static void reload_all_shaders(int unused);

  GLuint id() const { return id_; }

  static OGL_shader_prog* (&current_shader)[2];
  static std::set<OGL_shader_prog*>& shaders();

 private:
  GLuint id_ = 0;
  int type_ = 0;
  std::string path_;
};

// The module's state: what is bound (the classes' current_shader records)
// and every live shader and program. Each object registers itself while it
// lives, so a reset forgets only what is bound: for a new context, or a test
// that starts from nothing bound.
struct OGL_shader_state {
  OGL_shader* current_glsl = nullptr;
  OGL_shader_prog* current_prog[2] = {nullptr, nullptr};
  std::set<OGL_shader*> live_glsl;
  std::set<OGL_shader_prog*> live_progs;

  void reset();
};
extern OGL_shader_state ogl_shaders;

// Writes a shader's or program's info log to the log, headed by its name and
// the prefix it was built with.
void log_shader_obj(const std::string& name, const std::string& prefix, GLhandleARB object);

// The remote command "Reload Pixel Shaders...": every GLSL shader rebuilt,
// warning instead of ending the program.
void do_reload();
