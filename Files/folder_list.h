// Folder listing for the open/save panel, the installer's clean-up and the
// builder's walk: names and kind codes of one folder, sorted, filtered by a
// list mode.
#pragma once

#include <string>
#include <vector>

// Kind codes: 0 other file, 1 folder, then by extension (".PNG" 2 ... ".TXT" 19).
// List modes: 0 every kind, 12 panel images, 20 nothing, 21 the named commands
// under the folder taken as a command path; any other value that kind only.
enum list_kind { kind_other = 0, kind_folder = 1, kind_image = 2 };
enum list_mode {
  list_every_kind = 0,
  list_panel_images = 12,
  list_nothing = 20,
  list_command_paths = 21,
};
//
// folder ends in "/" (a fatal alert otherwise) and is listed as app_path + folder.
// Returns the number of entries; 0 with empty vectors when the folder cannot be read.
// read_error, when given, tells an unreadable folder from an empty one: 0, or
// the errno of the open or of a read that stopped before the folder's end.
int opensave_getitems(const std::string& folder, int mode, std::vector<std::string>& names,
                      std::vector<int>& kinds, int* read_error = nullptr);

// The filter: sets kind from the name's extension and returns 1 to keep the name.
int opensave_takeit(const std::string& folder, const std::string& name, int mode, int& kind);
