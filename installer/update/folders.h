// The destination folder and the standard folders of an installation.
#pragma once

#include <string>

struct install_state;

// The installation's fixed working folders, relative to the destination;
// made by every install and never removed by its clean-up.
extern const char* const kFixedFolders[7];

// Makes the destination with every missing folder above it, every folder a
// wanted file lands in and the fixed folders, and moves aside the framework
// entries that ought to be links but are not. Failures are alerts; the
// install goes on.
void make_dirs(install_state& in);
// The alert for a folder that could not be made.
void make_dir_error(const install_state& in, const std::string& path, int code);

// Makes a destination usable: adds the trailing "/" when it lacks one.
// False (path unchanged) when it is empty, relative, or the root folder:
// files must never land beside the system's own folders.
bool usable_dest_dir(std::string& path);

// The install's destination as the root of everything the engine touches
// (app_path in front), and the part of a destination path beneath it: false
// when the path does not start with its dest_dir_path.
std::string dest_root(const install_state& in);
bool dest_rel(const install_state& in, const std::string& path, std::string* rel);

// True when the folder that holds path (its nearest existing folder) lies
// inside the destination once every symbolic link on the way is followed.
// What is written, deleted or tidied away passes this first.
bool inside_dest(const install_state& in, const std::string& path);
// The folder depth of path's folder below the destination, links followed;
// -1 when it lies outside.
int depth_in_dest(const install_state& in, const std::string& path);
