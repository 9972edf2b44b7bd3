// The framework's own open/save browser: a modal window drawn with the
// widgets, in which the user walks the folders under the application folder
// and picks a file to open or names a file to save; with its fixed panels
// and the preview of the file picked.
#pragma once

#include <string>

// File kinds: each picks what the browser lists (the folder listing's kind
// codes), where it starts when given no path, and the extension a saved
// name gets.
enum file_kind {
  file_any = 0,
  file_folders = 1,
  file_bitmap = 2,
  file_aircraft = 3,
  file_airfoil = 4,
  file_weapon = 5,
  file_sound = 6,
  file_object = 7,
  file_flight = 8,  // ".fdr", with a comment line the preview shows
  file_situation = 9,
  file_movie = 10,
  file_fms_plan = 11,
  file_panel_bitmap = 12,
  file_track = 13,
  file_car = 14,
  file_ship = 15,
  file_region = 16,
  file_scenery = 17,
  file_elevation = 18,
  file_text = 19,
  file_nothing = 20,   // lists nothing
  file_commands = 21,  // the named commands as a tree
  file_kind_last = 21,
};

// Runs the browser until the user confirms or cancels: window 998 (open) or
// 999 (save), any other is fatal, as is a kind outside 0..21. path names a
// file, or is empty for the kind's start folder. 1 with the folder and the
// chosen or typed name in path; 0 on cancel, or when the window stopped
// being current, with path unchanged.
int BTN_opensave(int window, int kind, std::string* path);

// Whether window or kind lies outside what the browser takes; the alert then
// given (bad_window or bad_kind) ends the program.
bool BTN_bad_browser_args(int window, int kind, const char* bad_window, const char* bad_kind);

// The browser's fixed panels, drawn first in every pass; in the open window
// the preview of path: an aircraft file's four texts and its icon, or a
// flight file's comment. A file is read again only when path changes.
void stand_io_dialog(int window, int kind, const std::string& path);
// Forgets the preview and the breadcrumb shown; the icon's texture stays
// loaded until the next preview replaces it.
void BTN_reset_opensave();
