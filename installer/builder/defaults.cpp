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

builder_state g_builder;

std::string& old_dir_path = g_builder.old_dir_path;
std::string& src_fold = g_builder.src_fold;
std::string& dst_fold_base = g_builder.dst_fold_base;
std::string& dst_folder = g_builder.dst_folder;
std::string& sim_name = g_builder.sim_name;
std::string& prev_dir = g_builder.prev_dir;
std::string& str_all_fold = g_builder.str_all_fold;
std::string& str_apl_fold = g_builder.str_apl_fold;
std::string& str_win_fold = g_builder.str_win_fold;
std::string& str_LIN_fold = g_builder.str_LIN_fold;
std::string& str_ins_fold = g_builder.str_ins_fold;
std::string& str_wpn_fold = g_builder.str_wpn_fold;
std::string& str_afl_fold = g_builder.str_afl_fold;
std::string& str_acf_fold = g_builder.str_acf_fold;
std::string& str_pfc_fold = g_builder.str_pfc_fold;
std::string& str_res_fold = g_builder.str_res_fold;
std::string& str_out_fold = g_builder.str_out_fold;
std::string& str_cus_fold = g_builder.str_cus_fold;
std::string& str_plug = g_builder.str_plug;
std::string& str_redt = g_builder.str_redt;
std::string& str_orbt = g_builder.str_orbt;
std::string& str_erth1 = g_builder.str_erth1;
std::string& str_erth2 = g_builder.str_erth2;
std::string& str_mars = g_builder.str_mars;
std::string& str_moon = g_builder.str_moon;
std::string& str_men_file = g_builder.str_men_file;
std::string& str_tex_file = g_builder.str_tex_file;
std::string& str_com_file = g_builder.str_com_file;
int& install_type = g_builder.install_type;
int& reg = g_builder.reg;
int& num_files_rec = g_builder.num_files_rec;
int& num_files_use = g_builder.num_files_use;
int& num_files_com = g_builder.num_files_com;
int& found_all_fold = g_builder.found_all_fold;
int& found_apl_fold = g_builder.found_apl_fold;
int& found_win_fold = g_builder.found_win_fold;
int& found_LIN_fold = g_builder.found_LIN_fold;
int& found_ins_fold = g_builder.found_ins_fold;
int& found_wpn_fold = g_builder.found_wpn_fold;
int& found_afl_fold = g_builder.found_afl_fold;
int& found_acf_fold = g_builder.found_acf_fold;
int& found_pfc_fold = g_builder.found_pfc_fold;
int& found_res_fold = g_builder.found_res_fold;
int& found_out_fold = g_builder.found_out_fold;
int& found_cus_fold = g_builder.found_cus_fold;
int& found_plug = g_builder.found_plug;
int& found_redt = g_builder.found_redt;
int& found_orbt = g_builder.found_orbt;
int& found_men_file = g_builder.found_men_file;
int& found_tex_file = g_builder.found_tex_file;
int& found_com_file = g_builder.found_com_file;
std::vector<std::string>& comp_files = g_builder.comp_files;
std::set<std::string>& comp_paths = g_builder.comp_paths;
std::map<std::string, int, no_case_compare_string>& sim_info_index = g_builder.sim_info_index;
set_record& set_packed = g_builder.set_packed;

const char* const ALL_str = "All";
const char* const APL_str = "Macintosh";
const char* const WIN_str = "Windows";
const char* const LIN_str = "Linux";

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

void builder_reset() {
  g_builder = builder_state();
  builder_set_locations(NIMBREL_SRC_FOLD, NIMBREL_OLD_DIR, NIMBREL_DST_FOLD);
}

namespace {

// After the state above: the build's settings are the start values.
struct start_values {
  start_values() { builder_reset(); }
} g_start_values;

}  // namespace
