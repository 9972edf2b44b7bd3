// The scan of the scenery folders: custom packages first (the two global
// folders last among them), then the default packages, logged in that
// priority order, and every package's library file read.
#include "Files/dsf_scan.h"

#include <cstdio>
#include <vector>

#include "core/globals.h"
#include "Files/dsf_library.h"
#include "Files/dsf_library_file.h"
#include "Files/folder_list.h"
#include "Files/io_utils.h"

const std::string obj_path = "Resources/objects/";
const std::string cus_path = "Custom Scenery/";
const std::string def_path = "Resources/default scenery/";
const std::string def_ovr_str = "-global overlays-";
const std::string def_ter_str = "-global terrain-";

namespace {

// The listing gives a folder reached through a link, or one whose name ends
// like an image or a text file, the kind of a file: a user who links a
// package in, or names it "Roads.txt", still means a package, so every entry
// that leads to a folder counts, in the listing's order.
std::vector<std::string> package_folders(const std::string& folder) {
  std::vector<std::string> names, packages;
  std::vector<int> kinds;
  opensave_getitems(folder, list_every_kind, names, kinds);
  for (const std::string& name : names)
    if (dir_exists(folder + name)) packages.push_back(name);
  return packages;
}

void add_package(const std::string& path, int is_custom) {
  scenery_packages.push_back(path);
  package_problems.push_back(0);
  package_is_custom.push_back(is_custom);
}

}  // namespace

void DSF_ScanSceneryFolder() {
  DSF_ClearLibrary();
  scenery_packages.clear();
  package_problems.clear();
  package_is_custom.clear();

  bool overlays = false, terrain = false;
  for (const std::string& name : package_folders(cus_path)) {
    if (name == def_ovr_str) {
      overlays = true;
    } else if (name == def_ter_str) {
      terrain = true;
    } else {
      add_package(cus_path + name + "/", 1);
      continue;
    }
    // The global folders are appended below; their flags keep the lists
    // parallel by count.
    package_problems.push_back(0);
    package_is_custom.push_back(1);
  }
  if (overlays) scenery_packages.push_back(cus_path + def_ovr_str + "/");
  if (terrain) scenery_packages.push_back(cus_path + def_ter_str + "/");
  for (const std::string& name : package_folders(def_path)) add_package(def_path + name + "/", 0);

  xer << "I found the following scenery packages (prioritized in this order):\n";
  for (size_t i = 0; i < scenery_packages.size(); ++i) {
    char index[16];
    snprintf(index, sizeof index, "%3d ", static_cast<int>(i));
    xer << index << scenery_packages[i] << "\n";
  }
  xer << "\n";
  xer.flush();

  for (size_t p = 0; p < scenery_packages.size(); ++p) DSF_ReadLibraryFile(static_cast<int>(p));
}
