// The builder's driver: the sets of each install type, one set from its old
// manifest to its zipped new one, the checks on the master copy, the lines
// of files that left the set, and the files written beside the archives.
//
// Contents
//   [SECTION] Fatal problems
//   [SECTION] Before the first set
//   [SECTION] The old manifest
//   [SECTION] The master copy's checks
//   [SECTION] Files that left the set
//   [SECTION] Files written whole
//   [SECTION] One set, every set
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <list>
#include <string>

#include "core/alert.h"
#include "core/constants.h"
#include "core/files/xmap.h"
#include "core/globals.h"
#include "core/util/text_util.h"
#include "Files/errors.h"
#include "Files/io_utils.h"
#include "installer/builder/builder.h"
#include "installer/paths.h"
#include "installer/start.h"
#include "installer/update/manifest.h"

// [SECTION] Fatal problems

void builder_fatal(const std::string& l1, const std::string& l2, const std::string& l3,
                   const std::string& l4, int line, const char* source) {
  // No worker may write into the set while the program shuts down.
  builder_stop_packing();
  __MACIBM_alert(wind_main, l1.c_str(), l2.c_str(), l3.c_str(), l4.c_str(), t_exit, source, line);
  // A fatal alert never returns; should a handler, the run still ends here.
  exit(1);
}

// [SECTION] Before the first set

namespace {

// The path with every folder that exists resolved, the rest as given.
std::string resolved(const std::string& path) {
  std::string head = path, tail;
  while (!head.empty()) {
    char buf[PATH_MAX];
    std::string trimmed = head;
    while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
    if (realpath(trimmed.c_str(), buf)) {
      std::string out = buf;
      if (out.back() != '/') out += "/";
      return out + tail;
    }
    const size_t slash = trimmed.rfind('/');
    if (slash == std::string::npos) return path;
    tail = trimmed.substr(slash + 1) + "/" + tail;
    head = trimmed.substr(0, slash + 1);
  }
  return path;
}

bool inside(const std::string& folder, const std::string& other) {
  return folder.compare(0, other.size(), other) == 0;
}

// A set inside the master would be walked into the next set; a master
// inside the output would be written over.
void check_locations() {
  xer << "Builder: master " << src_fold << ", old manifest " << old_dir_path << ", sets in "
      << dst_fold_base << ", install type " << install_type << "\n";
  if (install_type < install_net || install_type > install_moon)
    builder_fatal("I can not tell what type of install this is!",
                  "install_type " + std::to_string(install_type) + " is none of 0 to 4.", "", "",
                  __LINE__);
  const std::string master = resolved(src_fold), output = resolved(dst_fold_base);
  if (inside(master, output) || inside(output, master))
    builder_fatal("YOU IDIOT!", "The sets would go inside the master copy, or the reverse!",
                  src_fold, dst_fold_base, __LINE__);
}

}  // namespace

// [SECTION] The old manifest

namespace {

void read_old_manifest() {
  if (install_type != install_net) {
    old_dir_path.clear();
    return;
  }
  // The reader ends the run itself when the file is missing.
  // The builder's reading goes into the program's install record.
  const int result =
      read_directory(g_install, old_dir_path, "Scanning old directory text file to get change log!",
                     dir_read_builder);
  if (result != dir_read) {
    xer << "The old manifest " << old_dir_path << " gave " << result << ": " << manifest_problem
        << "\n";
    builder_fatal("I could not read the old directory!",
                  "This means that this installer will not delete old files (needed even for the "
                  "Nimbrel / USA scenery install).",
                  "It also means I will forget to fix this, and release without an old "
                  "directory, and think that older versions of stuff is all user-modified cause I "
                  "don't recognize it!",
                  "So fix this.", 513);
  }
}

void index_old_histories() {
  for (size_t i = 0; i < sim_info.size(); ++i) {
    file_version_struct& first = sim_info[i].front();
    std::string key = first.path;
    chop_platform(key, first.platform);
    if (sim_info_index.count(key))
      builder_fatal("WARNING: you appear to have a file TWICE in an old directory file.", "", "",
                    first.path, 520);
    sim_info_index.emplace(key, static_cast<int>(i));
    first.want_download = 1;  // not yet met in the master copy
    for (const file_version_struct& r : sim_info[i])
      if (r.version == kVersionNumber)
        builder_fatal("You idiot! I already have a version:",
                      UTL_format_number("version_number %f", kVersionNumber), "in file ", first.path,
                      526);
  }
}

}  // namespace

// [SECTION] The master copy's checks

namespace {

void check_master(bool disc) {
  const struct {
    int wrong;
    const char* text;
    const std::string& path;
    int line;
  } checks[] = {
      {!found_all_fold, "!found_all_fold", str_all_fold, 538},
      {!found_apl_fold, "!found_apl_fold", str_apl_fold, 539},
      {!found_win_fold, "!found_win_fold", str_win_fold, 540},
      {!found_LIN_fold, "!found_X86_fold", str_LIN_fold, 541},
      {!found_ins_fold, "!found_ins_fold", str_ins_fold, 542},
      {!found_wpn_fold, "!found_wpn_fold", str_wpn_fold, 543},
      {!found_afl_fold, "!found_afl_fold", str_afl_fold, 544},
      {!found_acf_fold, "!found_acf_fold", str_acf_fold, 545},
      {!found_res_fold, "!found_res_fold", str_res_fold, 547},
      {!found_out_fold, "!found_out_fold", str_out_fold, 548},
      {!found_cus_fold, "!found_cus_fold", str_cus_fold, 549},
      {!found_plug, "!found_plug\t ", str_plug, 550},
      {disc && !found_redt, "!found_redt\t ", str_redt, 551},
      {disc && !found_orbt, "!found_orbt\t ", str_orbt, 552},
      {!found_men_file, "!found_men_file", str_men_file, 553},
      {!found_tex_file, "!found_tex_file", str_tex_file, 554},
      // The one item that must NOT be there: a customer's private file.
      {found_com_file, " found_com_file", str_com_file, 556},
  };
  for (const auto& c : checks)
    if (c.wrong) builder_fatal("YOU IDIOT!", c.text, c.path, "", c.line);
  // A set without files would be published as a release that deletes nothing
  // and installs nothing: never what was meant.
  if (comp_files.empty())
    builder_fatal("YOU IDIOT!", "This set selects no file at all!", sim_name, src_fold, __LINE__);
}

}  // namespace

// [SECTION] Files that left the set

namespace {

// The download systems (bits 1 to 3) whose installations take a line of
// this platform code.
unsigned installed_for(int platform) {
  const unsigned mac = 1u << platform_mac, windows = 1u << platform_windows,
                 linux = 1u << platform_linux;
  switch (platform) {
    case platform_all:
      return mac | windows | linux;
    case platform_mac:
      return mac;
    case platform_windows:
      return windows;
    case platform_linux:
    case platform_linux_with_all:
      return linux;
    default:
      return 0;
  }
}

// True when a packed file lands where the history's file did for every
// system that installed it: the history can be left out whole, since its
// GONE line would only be overruled, and its old lines would send installers
// after an archive the set no longer has. A file that lands there for fewer
// systems (it moved from All to a platform folder, or its platform code
// narrowed) leaves the others a stale file: the history is written with its
// GONE line, and the installer's rule that a GONE history never deletes what
// a wanted one installs keeps the new file where both apply.
bool replaced_in_place(const file_history_struct& history) {
  std::string destination = history.front().path;
  trim_dest_folder(destination);
  auto packed = set_packed.destinations.find(destination);
  if (packed == set_packed.destinations.end()) return false;
  const unsigned departed = installed_for(history.back().platform);
  for (int platform : packed->second)
    if ((departed & ~installed_for(platform)) == 0) return true;
  return false;
}

void write_history(const file_history_struct& history) {
  const file_version_struct& first = history.front();
  const size_t slash = first.path.rfind('/');
  const std::string folder = first.path.substr(0, slash + 1);
  if (folder != prev_dir) {
    prev_dir = folder;
    ouf << "\n" << manifest_dir_line(folder) << "\n";
  }
  for (file_version_struct r : history) {
    r.path = first.path;
    ouf << manifest_file_line(r) << "\n";
  }
  set_packed.last_path = first.path;
  const file_version_struct& last = history.back();
  if (last.sig_want == "GONE") return;
  file_version_struct gone;
  gone.type = last.type;
  gone.platform = last.platform;
  gone.version = kVersionNumber;
  gone.sig_want = "GONE";
  gone.path = first.path;
  ouf << manifest_file_line(gone) << "\n";
  ++set_packed.gone_lines;
}

// A history whose file is no longer packed gets its old lines and a GONE
// line, so installations delete it, unless a packed file replaces it in
// place. Lines of one path that follow each other are read as one history,
// so a history never directly follows the lines of its own path.
void write_departed() {
  std::list<const file_history_struct*> departed;
  for (const file_history_struct& history : sim_info) {
    const file_version_struct& first = history.front();
    if (!first.want_download) continue;
    if (!is_good_file(src_fold + first.path, 0, 0)) continue;
    check_installer_takes(first.path, first.path);
    if (replaced_in_place(history)) {
      xer << "Left the set but not gone: " << first.path
          << " (a packed file lands in its place; its old history is not written)\n";
      continue;
    }
    departed.push_back(&history);
  }
  while (!departed.empty()) {
    auto next = departed.begin();
    while (next != departed.end() && (*next)->front().path == set_packed.last_path) ++next;
    if (next == departed.end())
      builder_fatal("A file left the set under the name of the last file packed!",
                    "The installer would read the two as one history.", set_packed.last_path, "",
                    __LINE__);
    write_history(**next);
    departed.erase(next);
  }
}

}  // namespace

// [SECTION] Files written whole

namespace {

// ouf keeps the first failure of any write, so its close tells about every
// write before it; ouf_close removes a file that was not written whole.
void close_or_fail(const std::string& path) {
  const int err = ouf_close();
  if (err) builder_fatal("I could not write a file whole!", path, error_str(err), "", __LINE__);
}

void open_or_fail(const std::string& path) {
  if (!ouf_open(path, kind_text, kManifestVersion, "no-copyright-string"))
    builder_fatal("I could not open a file to write!", path, "", "", __LINE__);
}

void rename_or_fail(const std::string& from, const std::string& to) {
  if (rename(from.c_str(), to.c_str()) != 0)
    builder_fatal("I could not put a finished file in its place!", from, to, error_str(errno),
                  __LINE__);
}

// Next to the set folders, under a hidden name until it is whole.
void write_version_file(const std::string& path) {
  const std::string part = dst_folder + ".dvd_version.txt.part";
  open_or_fail(part);
  ouf << "DVD\n\nVERSION " << sim_name << "\n";
  close_or_fail(part);
  rename_or_fail(part, path);
}

}  // namespace

// [SECTION] One set, every set

void sub_install() {
  dst_folder = dst_fold_base;
  const std::string set_folder = dst_folder + sim_name + "/";
  const std::string zipped_path = set_folder + "directory.txt.zip";
  const std::string version_path = dst_folder + "dvd_version.txt";
  // The manifest's archive entry must be named "directory.txt": the text
  // is written under that name in this run's private folder, and only the
  // archive takes a hidden name until it is whole.
  std::string private_folder;
  if (int err = get_OS_abs_path(os_dir_temp, private_folder))
    builder_fatal("I could not make a private folder to write in!", error_str(err), "", "",
                  __LINE__);
  const std::string manifest_path = private_folder + "directory.txt";

  prev_dir = "---";
  num_files_rec = num_files_use = num_files_com = 0;
  comp_paths.clear();
  comp_files.clear();
  sim_info.clear();
  sim_info_index.clear();
  set_packed = set_record();

  read_old_manifest();
  index_old_histories();

  if (int err = make_folder(set_folder)) {
    xer << "Making " << set_folder << ": " << error_str(err) << "\n";
    builder_fatal("Could not make the target_folder!", set_folder,
                  "THIS MAY SIMPLY BE BECAUSE THE FOLDER ALREADY EXISTS THOUGH!", "", 530);
  }
  open_or_fail(manifest_path);
  ouf << kManifestKind << "\n\n";

  pref_level(src_fold);
  check_master(install_type != install_net);
  for (const std::string& folder : comp_paths) make_folder(folder);
  comp_all_files();
  write_departed();
  close_or_fail(manifest_path);
  write_version_file(version_path);

  const std::string part = set_folder + ".directory.txt.zip.part";
  if (file_to_zip(manifest_path, part) != 0)
    builder_fatal("zip!=0", "", manifest_path, zipped_path, 604);
  rename_or_fail(part, zipped_path);
  if (delete_file(manifest_path) != 0) builder_fatal("del!=0", "", "", manifest_path, 605);

  xer << "Set " << sim_name << ": " << num_files_rec << " files met, " << num_files_com
      << " packed, " << set_packed.lines_carried << " older lines carried, "
      << set_packed.gone_lines << " GONE lines.\n";
  xer.flush();
}

void build_install() {
  check_locations();
  if (install_type == install_net || install_type == install_disc) {
    reg = 0;
    sim_name = build_name[0];
    sub_install();
  } else {
    const int first = install_type == install_earth ? 1 : install_type == install_mars ? 8 : 10;
    const int last = install_type == install_earth ? 7 : install_type == install_mars ? 9 : 10;
    for (reg = first; reg <= last; ++reg) {
      sim_name = build_name[reg];
      sub_install();
    }
  }
  __MACIBM_alert(wind_main, "OK compression is done. Checklist if doing net:",
                 "Copy the version string and number (build_name[0] and kVersionNumber in "
                 "core/constants.h) into the serverlist.txt of the internet folder and send "
                 "that to the web site.",
                 "Upload the -NET uploads- folder stuff.",
                 "Extract directory.txt.zip to the next previous directory file for use next time.",
                 t_alert, "Installer-f/make_installer", 109);
}
