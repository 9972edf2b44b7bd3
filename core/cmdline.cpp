// Command-line options: every argument becomes a name and a value; "--help"
// and "--cmnds" answer at once and end the run before any window opens. The
// usage "--help" prints is the program's own, registered by its entry point.
#include "core/cmdline.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "core/commands.h"
#include "core/globals.h"

UTL_cmdline cmdline;

void UTL_cmdline::set_usage(const std::string& text) { usage_ = text; }

void UTL_cmdline::store(const std::string& name, const std::string& value) {
  if (count(name))
    xer << "WARNING: command line option " << name << "=" << value << "included twice.\n";
  (*this)[name] = value;
}

void UTL_cmdline::init_unix(int argc, const char** argv) {
  for (int k = 1; k < argc; ++k) {
    std::string arg = argv[k] ? argv[k] : "";
    size_t eq = arg.find('=');
    std::string name = arg.substr(0, eq);
    std::string value = eq == std::string::npos ? std::string() : arg.substr(eq + 1);
    store(name, value);
    xer << "     '" << name;
    if (!value.empty()) xer << "'='" << value;
    xer << "'\n";
  }
  init_common();
}

void UTL_cmdline::init_win(const char* text) {
  const char* p = text ? text : "";
  for (;;) {
    while (*p && isspace(static_cast<unsigned char>(*p))) ++p;
    if (!*p) break;
    const char* start = p;
    while (*p && *p != '=' && !isspace(static_cast<unsigned char>(*p))) ++p;
    std::string name(start, p);
    std::string value;
    if (*p == '=') {
      const char* vstart = ++p;
      while (*p && !isspace(static_cast<unsigned char>(*p))) ++p;
      value.assign(vstart, p);
    }
    if (!name.empty()) store(name, value);
  }
  init_common();
}

void UTL_cmdline::init_common() {
  if (has_option("--cmnds")) {
    std::string which = get_option("--cmnds");
    if (which == "all") {
      for (size_t k = 0; k < cmnd.path.size(); ++k)
        printf("%-50s %s\n", cmnd.path[k].c_str(),
               k < cmnd.description.size() ? cmnd.description[k].c_str() : "");
    } else {
      std::vector<std::string> below;
      cmnd.get_cmds_in_path(which, below);
      for (const std::string& s : below) printf("%s\n", s.c_str());
    }
    fflush(stdout);
    exit(0);
  }
  if (has_option("-h") || has_option("--help")) {
    fputs(usage_.c_str(), stdout);
    fflush(stdout);
    exit(0);
  }
}

bool UTL_cmdline::has_option(const char* name) const { return count(name) != 0; }

std::string UTL_cmdline::get_option(const char* name) const {
  auto it = find(name);
  return it == end() ? std::string() : it->second;
}
