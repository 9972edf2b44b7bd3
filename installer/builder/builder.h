// The install-set builder: scans a master copy of the product, packs each
// selected file into its own zip archive inside an install set, and writes
// the set's manifest with every file's history carried forward from the
// previous release.
//
// The builder program (built with the builder switch on) calls
// builder_take_environment before the shell starts and build_install once
// the window is up. Every problem is a fatal alert: a manifest is a promise
// to every installed copy, so a set is written whole or the run ends.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "Files/zip.h"

// [SECTION] Locations, folder names and master paths

// Where the master copy, the previous manifest and the sets lie. Folders
// end in "/".
extern std::string& old_dir_path;
extern std::string& src_fold;
extern std::string& dst_fold_base;
extern std::string& dst_folder;  // the current set's parent folder
extern std::string& sim_name;    // the current set's name, also its folder's
extern std::string& prev_dir;    // the folder of the last DIR line written

// The master's platform folders, in platform order 0 to 3.
extern const char* const ALL_str;
extern const char* const APL_str;
extern const char* const WIN_str;
extern const char* const LIN_str;

// Master paths derived from src_fold when the locations are set.
extern std::string &str_all_fold, &str_apl_fold, &str_win_fold, &str_LIN_fold;
extern std::string &str_ins_fold, &str_wpn_fold, &str_afl_fold, &str_acf_fold, &str_pfc_fold;
extern std::string &str_res_fold, &str_out_fold, &str_cus_fold, &str_plug, &str_redt, &str_orbt;
extern std::string &str_erth1, &str_erth2, &str_mars, &str_moon;  // no trailing "/": contained
extern std::string &str_men_file, &str_tex_file, &str_com_file;

// Sets the three locations (a folder without its "/" gets one) and derives
// the master paths from the master folder.
void builder_set_locations(const std::string& master, const std::string& old_manifest,
                           const std::string& output);
// The locations from NIMBREL_SRC_FOLD, NIMBREL_OLD_DIR and NIMBREL_DST_FOLD
// where they are set, relative ones taken from the current folder. Called
// before the shell makes the program's folder the current one.
void builder_take_environment();

// [SECTION] Set types and builder state

// Which sets one run builds; also the type of every new FILE line.
enum install_type_code {
  install_net = 0,    // one internet set
  install_disc = 1,   // one disc set of everything but regional scenery
  install_earth = 2,  // seven regional Earth scenery sets
  install_mars = 3,   // two Mars scenery sets
  install_moon = 4,   // one Moon scenery set
};
extern int& install_type;

// Characters compared one by one in lower case; a prefix sorts first.
struct no_case_compare_string {
  bool operator()(const std::string& a, const std::string& b) const;
};

extern int& reg;                              // the world region of the set being built, 0 for all
extern std::vector<std::string>& comp_files;  // master paths to pack, in scan order
extern std::set<std::string>& comp_paths;     // folders to make in the set
extern std::map<std::string, int, no_case_compare_string>& sim_info_index;
extern int &num_files_rec, &num_files_use, &num_files_com;
extern int &found_all_fold, &found_apl_fold, &found_win_fold, &found_LIN_fold, &found_ins_fold;
extern int &found_wpn_fold, &found_afl_fold, &found_acf_fold, &found_pfc_fold, &found_res_fold;
extern int &found_out_fold, &found_cus_fold, &found_plug, &found_redt, &found_orbt;
extern int &found_men_file, &found_tex_file, &found_com_file;

// What the current set has packed so far; emptied at the start of a set.
struct set_record {
  // History keys of the packed files: two that differ only in letter case
  // would share one old history.
  std::set<std::string, no_case_compare_string> keys;
  // Where the packed files land in an installation (the path less its
  // platform folder, exactly as spelt), with the platform codes of the files
  // that land there.
  std::map<std::string, std::vector<int>> destinations;
  std::string last_path;  // of the last FILE line written
  int lines_carried = 0;  // old history lines written again
  int gone_lines = 0;
};
extern set_record& set_packed;

// Everything a run of the builder changes; the names above are bound to its
// members.
struct builder_state {
  std::string old_dir_path, src_fold, dst_fold_base, dst_folder;
  std::string sim_name = "-";
  std::string prev_dir;
  std::string str_all_fold, str_apl_fold, str_win_fold, str_LIN_fold;
  std::string str_ins_fold, str_wpn_fold, str_afl_fold, str_acf_fold, str_pfc_fold;
  std::string str_res_fold, str_out_fold, str_cus_fold, str_plug, str_redt, str_orbt;
  std::string str_erth1, str_erth2, str_mars, str_moon;
  std::string str_men_file, str_tex_file, str_com_file;
  int install_type = install_net;
  int reg = 0;
  std::vector<std::string> comp_files;
  std::set<std::string> comp_paths;
  std::map<std::string, int, no_case_compare_string> sim_info_index;
  int num_files_rec = 0, num_files_use = 0, num_files_com = 0;
  int found_all_fold = 0, found_apl_fold = 0, found_win_fold = 0, found_LIN_fold = 0;
  int found_ins_fold = 0, found_wpn_fold = 0, found_afl_fold = 0, found_acf_fold = 0;
  int found_pfc_fold = 0, found_res_fold = 0, found_out_fold = 0, found_cus_fold = 0;
  int found_plug = 0, found_redt = 0, found_orbt = 0;
  int found_men_file = 0, found_tex_file = 0, found_com_file = 0;
  set_record set_packed;
};
extern builder_state g_builder;
// Back to the start of a run: every record empty, the locations the
// build's settings give.
void builder_reset();

// [SECTION] The driver

// Builds every set of install_type, then shows the release checklist.
void build_install();
// Builds one set named sim_name for region reg.
void sub_install();

// Every fatal problem of the builder: the packing workers stop first, then
// the alert ends the run. source and line name where the problem is told.
void builder_fatal(const std::string& l1, const std::string& l2, const std::string& l3,
                   const std::string& l4, int line,
                   const char* source = "Installer-f/make_installer");

// [SECTION] Packing

// One selected file's packing, done on any thread: the large-address step,
// the archive under a temporary name renamed into place, its size.
struct pack_job {
  std::string path;     // master path
  std::string archive;  // where its archive goes
  int laa_code = 0;     // the large-address step's result
  int zip_code = 0;     // the packing's result
  zip_pack_result packed;
  uint64_t zip_bytes = 0;
};
void pack_one(pack_job& job);
// The job's archive path in the current set.
std::string archive_of(const std::string& path);
// Packs one selected file and writes its manifest lines (main thread).
void comp_file(const std::string& path);
// Packs every file of comp_files on all cores, writing the lines in order.
void comp_all_files();
// Stops the packing workers, if they run, once their current files are done.
void builder_stop_packing();
// The longest destination folder (its path's length) a set is made for: the
// installer's reader must take every line of the set's manifest there.
inline constexpr size_t kLongestDestination = 100;
// Ends the run, naming the file, when the installer's reader would refuse or
// drop a line of this path (below the master) at such a destination.
// shown: the file as the alert names it.
void check_installer_takes(const std::string& rel, const std::string& shown);
// A size in bytes as the manifest's kilobytes: truncated toward zero.
int64_t kb_of(uint64_t bytes);
// The platform code of a file from its folder below the master and its
// master path; -1 when the first folder is no platform folder.
int platform_of(const std::string& folder, const std::string& path);
// The two status lines at the bottom of the window; "q" or a close request
// there ends the run.
void builder_status(const std::string& line1, const std::string& line2);

// [SECTION] Selection

// Walks one folder of the master copy (ends in "/"), then its subfolders.
void pref_level(const std::string& folder);
// True when the master path belongs in the current set; the empty-file test
// runs only when a is 0 and b is not.
bool is_good_file(const std::string& path, int a, int b);
// True when the tile named by the path's last component lies in the region.
bool want_reg(int region, const std::string& path);
// Kept empty on purpose: nothing calls it.
void make_shortcut();
