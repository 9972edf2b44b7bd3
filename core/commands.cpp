// The named command table and the plane focus that key bindings act on.
#include "core/commands.h"

#include <set>

const default_command default_commands[1] = {
    {"cmnd_nothing", "sim/operation/none", "Do nothing at all!", 3, 0, 0}};

cmnd_class cmnd;

namespace {
// What the command module holds besides the table.
struct commands_state {
  int fp = 0;  // the plane the key bindings act on
};
commands_state g_commands;
}  // namespace

void commands_reset() {
  cmnd = cmnd_class();
  g_commands = commands_state();
}

cmnd_class::cmnd_class() {
  for (const default_command& row : default_commands) {
    name.push_back(row.name);
    path.push_back(row.path);
    description.push_back(row.description);
    type.push_back(row.type);
  }
}

int cmnd_class::get_cmnd_by_name(const std::string& wanted) const {
  for (size_t i = 0; i < path.size(); ++i)
    if (path[i] == wanted) return static_cast<int>(i);
  return 0;
}

void cmnd_class::get_cmds_in_path(const std::string& prefix, std::vector<std::string>& out) const {
  out.clear();
  std::set<std::string> found;
  for (const std::string& p : path) {
    if (p.size() <= prefix.size() || p.compare(0, prefix.size(), prefix) != 0) continue;
    size_t slash = p.find('/', prefix.size());
    if (slash == std::string::npos)
      found.insert(p.substr(prefix.size()));
    else
      found.insert(p.substr(prefix.size(), slash + 1 - prefix.size()));
  }
  out.assign(found.begin(), found.end());
}

int cmnd_class::add_cmd(const std::string& new_path, const std::string& new_description) {
  int index = static_cast<int>(path.size());
  name.push_back("DYNAMIC");
  path.push_back(new_path);
  description.push_back(new_description);
  type.push_back(2);
  return index;
}

int get_plane_focus() { return g_commands.fp; }
void set_plane_focus(int focus) { g_commands.fp = focus; }
