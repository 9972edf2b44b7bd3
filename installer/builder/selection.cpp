// The builder's walk over the master copy: the house rules a master must
// keep, the required folders and files it must hold, and which files go into
// the set being built (junk never; scenery by set type and world region).
//
// Contents
//   [SECTION] Names and entries
//   [SECTION] The walk
//   [SECTION] Selection and regions
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "core/util/text_util.h"
#include "Files/errors.h"
#include "Files/folder_list.h"
#include "Files/io_utils.h"
#include "installer/builder/builder.h"

// [SECTION] Names and entries

namespace {

bool contains(const std::string& text, const char* part) {
  return text.find(part) != std::string::npos;
}
bool ends_with(const std::string& text, const char* tail) {
  const size_t n = strlen(tail);
  return text.size() >= n && text.compare(text.size() - n, n, tail) == 0;
}

// The part of a master path below the master folder: the house rules judge
// that, never where the maintainer keeps the master.
std::string below_master(const std::string& path) {
  return path.compare(0, src_fold.size(), src_fold) == 0 ? path.substr(src_fold.size()) : path;
}

// The manifest's reader skips blanks before a name and ends a line at a
// control character, so such a name would come back as another one.
bool manifest_can_carry(const std::string& name) {
  if (name.empty() || name[0] == ' ' || name[0] == '\t') return false;
  for (unsigned char c : name)
    if (c < 0x20 || c == 0x7F) return false;
  return true;
}

void idiot(const char* what, const std::string& full, int line) {
  builder_fatal("YOU IDIOT!", what, full, "", line);
}

// The name tests every entry of the walk passes, folders and files alike.
void test_name(const std::string& name, const std::string& full) {
  const std::string below = below_master(full);
  const char last = name.empty() ? 0 : name.back();
  if (last == ' ' || last == '\t')
    builder_fatal("YOU IDIOT!", "You tried to include a file or directory with a space at the end!",
                  "Computer makers still cannot agree on whether one counts.", full, 389);
  if (contains(below, ":")) idiot("found a  : in the path!", full, 391);
  if (contains(below, "\\")) idiot("found a \\ in the path!", full, 392);
  if (!manifest_can_carry(name))
    idiot("found a name with a leading blank or a control character!", full, __LINE__);
}

// A file whose name ends in a listed extension is listed as that kind; a
// folder so named would be packed as a file and its contents lost, and a
// FIFO, socket or device has no bytes to pack: the walk refuses both.
void test_entry_kind(const std::string& full, int listed_kind) {
  std::string path = full;
  if (path.size() > 1 && path.back() == '/') path.pop_back();
  struct stat st;
  if (lstat(path.c_str(), &st) != 0)
    builder_fatal("I could not look at an entry of the master copy!", full, error_str(errno), "",
                  __LINE__);
  if (S_ISDIR(st.st_mode) && listed_kind != kind_folder)
    idiot("found a folder named like a file: nothing in it would be packed!", full, __LINE__);
  if (!S_ISDIR(st.st_mode) && !S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode))
    idiot("found something that is neither a file, a folder nor a link!", full, __LINE__);
}

// Every folder from the set folder down to the file's own, without their
// trailing "/", nothing above the set folder.
void add_set_folders(const std::string& master_path) {
  std::string place = dst_folder + sim_name + "/" + master_path.substr(src_fold.size());
  for (size_t slash = place.rfind('/'); slash != std::string::npos && slash > 0;
       slash = place.rfind('/', slash - 1)) {
    if (slash < dst_fold_base.size()) break;
    comp_paths.insert(place.substr(0, slash));
  }
}

void flag_folder(const std::string& full) {
  const struct {
    const std::string& path;
    int& flag;
  } folders[] = {{str_all_fold, found_all_fold}, {str_apl_fold, found_apl_fold},
                 {str_win_fold, found_win_fold}, {str_LIN_fold, found_LIN_fold},
                 {str_ins_fold, found_ins_fold}, {str_wpn_fold, found_wpn_fold},
                 {str_afl_fold, found_afl_fold}, {str_acf_fold, found_acf_fold},
                 {str_pfc_fold, found_pfc_fold}, {str_res_fold, found_res_fold},
                 {str_out_fold, found_out_fold}, {str_cus_fold, found_cus_fold},
                 {str_plug, found_plug},         {str_redt, found_redt},
                 {str_orbt, found_orbt}};
  for (const auto& f : folders) {
    if (full == f.path) {
      f.flag = 1;
      return;
    }
  }
}

}  // namespace

// [SECTION] The walk

void pref_level(const std::string& folder) {
  std::vector<std::string> names;
  std::vector<int> kinds;
  int read_error = 0;
  opensave_getitems(folder, list_every_kind, names, kinds, &read_error);
  if (read_error)
    builder_fatal("I could not read a folder of the master copy to its end!", folder,
                  error_str(read_error), "", __LINE__);

  static const char* const kAllowedInAll[] = {
      "Aircraft/",  "Airfoils/", "Instructions/",  "Output/", "install_pfc Aircraft/",
      "Resources/", "Weapons/",  "Custom Scenery/"};
  for (size_t i = 0; i < names.size(); ++i) {
    const std::string& name = names[i];
    const bool is_folder = kinds[i] == kind_folder;
    const std::string full = folder + name + (is_folder ? "/" : "");
    test_name(name, full);
    test_entry_kind(full, kinds[i]);

    if (is_folder) {
      flag_folder(full);
      if (folder == str_all_fold) {
        bool allowed = false;
        for (const char* a : kAllowedInAll) allowed |= name + "/" == a;
        if (!allowed)
          builder_fatal("What the hell is THIS doing in here!?!?!?", name, full, name + "/", 426);
      }
      pref_level(full);
      continue;
    }

    if (full == str_men_file) found_men_file = 1;
    if (full == str_tex_file) found_tex_file = 1;
    if (full == str_com_file) found_com_file = 1;
    const std::string below = below_master(full);
    if (contains(below, "copy")) idiot("found a copy file!", full, 438);
    if (contains(below, ".cpp")) idiot("found a .cpp file!", full, 439);
    if (contains(below, ".CPP")) idiot("found a .CPP file!", full, 440);
    if (folder == src_fold + ALL_str + "/")
      idiot("I FOUND A FILE INSIDE THE 'ALL' FOLDER! WE SHOULD ONLY HAVE FOLDERS THERE!", full,
            447);

    ++num_files_rec;
    if (is_good_file(full, 0, 1)) {
      ++num_files_use;
      comp_files.push_back(full);
      add_set_folders(full);
    }
    if (num_files_rec % 500 == 0)
      builder_status("reg: " + std::to_string(reg) +
                         ": total files recursed: " + std::to_string(num_files_rec) +
                         ". will compress: " + std::to_string(num_files_use) + ".",
                     full);
  }
}

// [SECTION] Selection and regions

bool is_good_file(const std::string& path, int a, int b) {
  if (a == 0 && b != 0) {
    // Only a truly empty file is left out; one that cannot be read would
    // otherwise drop out of the set without a word.
    struct stat st;
    if (lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
      if (st.st_size == 0) return false;
      const int fd = UTL_open_regular(path.c_str(), O_RDONLY | O_NOFOLLOW);
      if (fd < 0)
        builder_fatal("I could not read a file of the master copy!", path, error_str(errno), "",
                      __LINE__);
      close(fd);
    }
  }

  const std::string below = below_master(path);
  static const char* const kJunkInside[] = {
      "Thumbs.db",         "work.",   "._", ".DS_Store", ".sandboxinfo", ".xSYM", "serverlist.txt",
      "Nimbrel Pilot.txt", ".dsf.txt"};
  static const char* const kJunkEnds[] = {".ovw", ".ac", ".prf", ".fms", ".sit", ".mov", ".bak"};
  for (const char* junk : kJunkInside)
    if (contains(below, junk)) return false;
  for (const char* junk : kJunkEnds)
    if (ends_with(below, junk)) return false;
  if (contains(path, str_pfc_fold.c_str())) return false;

  const bool red_terrain = contains(path, str_redt.c_str());
  const bool orbit = contains(path, str_orbt.c_str());
  const bool earth = contains(path, str_erth1.c_str()) || contains(path, str_erth2.c_str());
  const bool mars = contains(path, str_mars.c_str());
  const bool moon = contains(path, str_moon.c_str());
  const bool regional = earth || mars || moon;
  switch (install_type) {
    case install_net:
      return !regional && !red_terrain && !orbit;
    case install_disc:
      return !regional;
    case install_earth:
      return earth && want_reg(reg, path);
    case install_mars:
      return mars && want_reg(reg, path);
    case install_moon:
      return moon && want_reg(reg, path);
    default:
      builder_fatal("I can not tell what type of install this is!", "", "", "", 240);
      return false;
  }
}

bool want_reg(int region, const std::string& path) {
  std::string name = path;
  if (!name.empty() && name.back() == '/') name.pop_back();
  const size_t slash = name.rfind('/');
  if (slash != std::string::npos) name.erase(0, slash + 1);
  // Three characters of latitude and four of longitude.
  if (name.size() < 7)
    builder_fatal("This scenery file has no tile name to tell its region by!", path, name, "",
                  __LINE__);
  const int lat = str_to_int(name.substr(0, 3));
  const int lon = str_to_int(name.substr(3, 4));
  if (lat < -90 || lat > 90)
    builder_fatal("Out of range lat!", path, name, "", 1010, "core/constants.h");
  if (lon < -180 || lon > 180)
    builder_fatal("Out of range lon!", path, name, "", 1011, "core/constants.h");
  if (region == 0) return false;

  // Mars is split at its prime meridian; the Moon is one set.
  if (region == 8) return lon < 0;
  if (region == 9) return lon >= 0;
  if (region == 10) return true;
  int tile;
  if (lon < -19)
    tile = lat < 21 ? 1 : lat < 49 ? 2 : 3;
  else if (lon < 59)
    tile = lat > 24 ? 5 : 4;
  else if (lon < 103)
    tile = 6;
  else if (lat < 21)
    tile = lon > 154 ? 1 : 7;
  else if (lat < 49)
    tile = lon > 154 ? 2 : 7;
  else
    tile = lon > 139 ? 3 : 7;
  return tile == region;
}

void make_shortcut() {}
