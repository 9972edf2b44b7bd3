// The named command table: every user action has a "/"-separated path. A
// registry on the ground floor, since the command line and the folder listing
// read it and the key bindings above fill it.
#pragma once

#include <string>
#include <vector>

class cmnd_class {
 public:
  cmnd_class();

  int get_cmnd_by_name(const std::string& path) const;
  void get_cmds_in_path(const std::string& prefix, std::vector<std::string>& out) const;
  int add_cmd(const std::string& path, const std::string& description);

  // Key-binding hooks: a key presses a command, holds it (every frame) and
  // releases it. This program binds no actions, so `action` stays null and
  // they do nothing.
  enum phase { phase_press, phase_release, phase_always, phase_single };
  void (*action)(int command, phase what) = nullptr;
  void press_one(int command) { run(command, phase_press); }
  void release_one(int command) { run(command, phase_release); }
  void press_always(int command) { run(command, phase_always); }
  void single_press(int command) { run(command, phase_single); }

  std::vector<std::string> name;
  std::vector<std::string> path;
  std::vector<std::string> description;
  std::vector<int> type;

 private:
  void run(int command, phase what) {
    if (action) action(command, what);
  }
};

struct default_command {
  const char* name;
  const char* path;
  const char* description;
  int type;
  int default_key;
  int default_flags;
};

extern const default_command default_commands[1];
extern cmnd_class cmnd;
// Back to the state at start: the table holds the default commands only, no
// action is bound and the plane focus is 0.
void commands_reset();

int get_plane_focus();
void set_plane_focus(int focus);
