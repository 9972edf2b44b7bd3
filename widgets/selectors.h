// Path and file selectors: a path shown in a one-line text field with a
// folder icon before it; a press on the icon opens the desktop's folder
// chooser, and the path chosen goes into the caller's variable. Typing into
// the field replaces the whole path with the field's text.
#pragma once

#include <string>

// window 998 or 999 and kind 0..21 (as the open/save browser takes them;
// anything else is fatal). The field shows the whole path for the command
// kinds 20 and 21, else the path's last component. grab is the text field's.
// 1 on the frame the chooser delivered a path.
int BTN_select_path_stl(float x, float y, int window, int kind, std::string* path, int max_len,
                        const std::string& label, float width, int grab);
// The same over a buffer of max_len bytes, written back every frame; a
// chosen path that does not fit the buffer, or is longer than a path buffer
// takes, counts as a cancel.
int BTN_select_path_chr(float x, float y, int window, int kind, char* path, int max_len,
                        const std::string& label, float width, int grab);
// A file's name in a buffer of max_len bytes and its whole path: the field
// shows the name; a choice sets the path and the name (a name that does not
// fit the buffer counts as a cancel). Typed names are not written back.
int BTN_select_file_chr(float x, float y, int window, int kind, char* name, std::string* path,
                        int max_len, const std::string& label, float width);
