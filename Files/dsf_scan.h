// The scan of the scenery folders: the packages of the custom and default
// scenery folders in priority order, each package's library file read into
// the scenery library.
#pragma once

#include <string>

// Folders of scenery and resources, relative to the application's folder;
// fixed for the run.
extern const std::string obj_path;  // "Resources/objects/"
extern const std::string cus_path;  // "Custom Scenery/"
extern const std::string def_path;  // "Resources/default scenery/"
// The two custom folders that rank after every other custom package.
extern const std::string def_ovr_str;  // "-global overlays-"
extern const std::string def_ter_str;  // "-global terrain-"

// Rebuilds the package lists and the library from the disk, and logs the
// packages in priority order. Every sub-folder counts as a package, also one
// reached through a symbolic link and one whose name ends like a file's.
void DSF_ScanSceneryFolder();
