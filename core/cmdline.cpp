// Command-line options: every argument becomes a name and a value; "--help"
// and "--cmnds" answer at once and end the run before any window opens.
#include "core/cmdline.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "core/commands.h"
#include "core/globals.h"

UTL_cmdline cmdline;

static const char kUsage[] =
    "Nimbrel - installer and updater for the Nimbrel flight simulator\n"
    "\n"
    "Usage: nimbrel_installer [option ...]\n"
    "\n"
    "Every option is written either as a flag, \"--flag\", or as a flag with a\n"
    "value, \"--flag=value\". The text after the first equals sign is the value,\n"
    "so \"--name=a=b\" gives the option \"--name\" the value \"a=b\". Options may\n"
    "come in any order; when one is given twice, the later value counts and the\n"
    "log notes the repeat. Every option given is written to the log, Log.txt,\n"
    "in the folder that holds the program, so a report of a problem shows how\n"
    "the program was started. Arguments that are not options are kept as well\n"
    "and simply have no effect.\n"
    "\n"
    "General\n"
    "\n"
    "  --help, -h\n"
    "      Print this text and quit at once, without opening a window and\n"
    "      without touching the preferences.\n"
    "\n"
    "  --no_sound\n"
    "      Start without opening the sound device. Use this when the audio\n"
    "      driver hangs or complains at start-up, or on a machine without one.\n"
    "\n"
    "Switching a graphics feature off\n"
    "\n"
    "  Nimbrel asks the graphics driver what it can do and uses every feature it\n"
    "  reports. Some drivers report a feature that then draws wrongly, slowly or\n"
    "  not at all; each of the following options makes the program act as if\n"
    "  the driver lacked that feature.\n"
    "\n"
    "  --no_vbos\n"
    "      Keep geometry in main memory instead of vertex buffer objects.\n"
    "  --no_fbos\n"
    "      Do not render into frame buffer objects; off-screen drawing falls\n"
    "      back to the back buffer.\n"
    "  --no_pbos\n"
    "      Do not use pixel buffer objects to move images to and from the card.\n"
    "  --no_sprites\n"
    "      Draw lights as small quads instead of point sprites.\n"
    "  --no_pixel_counters\n"
    "      Do not use occlusion queries to count drawn pixels.\n"
    "  --no_aniso_filtering\n"
    "      Turn anisotropic texture filtering off.\n"
    "  --no_hw_mipmap\n"
    "      Build the smaller texture levels in software instead of asking the\n"
    "      card to generate them.\n"
    "  --no_fshaders\n"
    "      Do not use fragment shaders.\n"
    "  --no_vshaders\n"
    "      Do not use vertex shaders.\n"
    "  --no_glsl\n"
    "      Do not use the high-level shading language at all.\n"
    "  --no_threaded_ogl\n"
    "      Load textures and other graphics data on the main thread only, with\n"
    "      no shared drawing context for the worker threads.\n"
    "\n"
    "Forcing a graphics feature on\n"
    "\n"
    "  Some features are switched off by default on drivers known to have\n"
    "  trouble with them. These options switch them on regardless; when the\n"
    "  driver really cannot do it, expect drawing faults or a crash.\n"
    "\n"
    "  --use_vbos\n"
    "      Use vertex buffer objects even where they are off by default.\n"
    "  --use_sprites\n"
    "      Use point sprites for lights even where they are off by default.\n"
    "  --use_fshaders\n"
    "      Use fragment shaders even where they are off by default.\n"
    "  --use_vshaders\n"
    "      Use vertex shaders even where they are off by default.\n"
    "  --use_glsl\n"
    "      Use the high-level shading language even where it is off by default.\n"
    "  --force_run\n"
    "      Start even when the graphics card falls short of the minimum the\n"
    "      program needs, instead of stopping with a message.\n"
    "\n"
    "Frame-rate test\n"
    "\n"
    "  --fps_test=n\n"
    "      Run frame-rate test number n: the program runs a fixed sequence,\n"
    "      writes the frame rate it reached to the log and quits. The\n"
    "      preferences are not saved at the end of a test run, so a test never\n"
    "      changes the settings of the next normal start.\n"
    "  --require_fps=n\n"
    "      Together with --fps_test: end with a failure status when the test\n"
    "      reaches fewer than n frames per second, so that a script can tell a\n"
    "      slow machine from a fast one.\n"
    "\n"
    "Other options\n"
    "\n"
    "  --pref:key=value\n"
    "      Use this value for the preference named key, whatever the saved\n"
    "      preference file says.\n"
    "  --cmnds=path\n"
    "      List the named commands one level below path and quit; the value\n"
    "      \"all\" lists every command with its description.\n"
    "\n"
    "Files\n"
    "\n"
    "  The log of the last run is Log.txt beside the program. The installer's\n"
    "  settings are kept in \"Nimbrel Installer.prf\" in the preferences folder,\n"
    "  $XDG_CONFIG_HOME, or ~/.config when that is not set.\n";

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
    fputs(kUsage, stdout);
    fflush(stdout);
    exit(0);
  }
}

bool UTL_cmdline::has_option(const char* name) const { return count(name) != 0; }

std::string UTL_cmdline::get_option(const char* name) const {
  auto it = find(name);
  return it == end() ? std::string() : it->second;
}
