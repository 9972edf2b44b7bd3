// The builder's locations, folder names and master paths, set before the
// entry point from the build's settings; the environment may move the
// locations when the builder program starts.
#include <unistd.h>

#include <cctype>
#include <climits>
#include <cstdlib>

#include "installer/builder/builder.h"

// The build's settings; a build without them looks beside the program.
#ifndef NIMBREL_SRC_FOLD
#define NIMBREL_SRC_FOLD "builder/master/"
#endif
#ifndef NIMBREL_OLD_DIR
#define NIMBREL_OLD_DIR "builder/directory9016.txt"
#endif
#ifndef NIMBREL_DST_FOLD
#define NIMBREL_DST_FOLD "builder/mirror/"
#endif
#ifndef NIMBREL_CUSTOMER_FILE
#define NIMBREL_CUSTOMER_FILE "Resources/customer only/customer_private.dat"
#endif

std::string old_dir_path;
std::string src_fold;
std::string dst_fold_base;
std::string dst_folder;
std::string sim_name = "-";
std::string prev_dir;

const char* const ALL_str = "All";
const char* const APL_str = "Macintosh";
const char* const WIN_str = "Windows";
const char* const LIN_str = "Linux";

std::string str_all_fold, str_apl_fold, str_win_fold, str_LIN_fold;
std::string str_ins_fold, str_wpn_fold, str_afl_fold, str_acf_fold, str_pfc_fold;
std::string str_res_fold, str_out_fold, str_cus_fold, str_plug, str_redt, str_orbt;
std::string str_erth1, str_erth2, str_mars, str_moon;
std::string str_men_file, str_tex_file, str_com_file;

std::vector<std::string> comp_files;
std::set<std::string> comp_paths;
std::map<std::string, int, no_case_compare_string> sim_info_index;

bool no_case_compare_string::operator()(const std::string& a, const std::string& b) const {
  const size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    const int ca = tolower(static_cast<unsigned char>(a[i]));
    const int cb = tolower(static_cast<unsigned char>(b[i]));
    if (ca != cb) return ca < cb;
  }
  return a.size() < b.size();
}

namespace {

std::string as_folder(const std::string& path) {
  return path.empty() || path.back() == '/' ? path : path + "/";
}

}  // namespace

void builder_set_locations(const std::string& master, const std::string& old_manifest,
                           const std::string& output) {
  src_fold = as_folder(master);
  old_dir_path = old_manifest;
  dst_fold_base = as_folder(output);

  const std::string all = src_fold + ALL_str + "/";
  str_all_fold = all;
  str_apl_fold = src_fold + APL_str + "/";
  str_win_fold = src_fold + WIN_str + "/";
  str_LIN_fold = src_fold + LIN_str + "/";
  str_ins_fold = all + "Instructions/";
  str_wpn_fold = all + "Weapons/";
  str_afl_fold = all + "Airfoils/";
  str_acf_fold = all + "Aircraft/";
  str_pfc_fold = all + "install_pfc Aircraft/";
  str_res_fold = all + "Resources/";
  str_out_fold = all + "Output/";
  str_cus_fold = all + "Custom Scenery/";
  str_plug = all + "Resources/plugins/";
  str_redt = all + "Resources/default scenery/900 red terrain/";
  str_orbt = all + "Resources/bitmaps/Zudad Izuvi Darurezi/";
  str_erth1 = all + "Custom Scenery/-global overlays-";
  str_erth2 = all + "Custom Scenery/-global terrain-";
  str_mars = all + "Custom Scenery/DSF 900 Mars World-Wide";
  str_moon = all + "Custom Scenery/DSF 900 Moon World-Wide";
  str_men_file = all + "Resources/menus/English/Nimbrel.txt";
  str_tex_file = all + "Resources/text/English/Nimbrel.txt";
  str_com_file = all + NIMBREL_CUSTOMER_FILE;
}

void builder_take_environment() {
  char cwd[PATH_MAX];
  const std::string here = getcwd(cwd, sizeof cwd) ? as_folder(cwd) : "";
  auto from_env = [&](const char* name, const std::string& fallback) {
    const char* value = getenv(name);
    if (!value || !*value) return fallback;
    const std::string given = value;
    return given[0] == '/' ? given : here + given;
  };
  builder_set_locations(from_env("NIMBREL_SRC_FOLD", src_fold),
                        from_env("NIMBREL_OLD_DIR", old_dir_path),
                        from_env("NIMBREL_DST_FOLD", dst_fold_base));
}

namespace {

// After every global above: the build's settings are the start values.
struct start_values {
  start_values() { builder_set_locations(NIMBREL_SRC_FOLD, NIMBREL_OLD_DIR, NIMBREL_DST_FOLD); }
} g_start_values;

}  // namespace
