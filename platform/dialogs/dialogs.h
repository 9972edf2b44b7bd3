// The desktop's own dialogs, for what the OpenGL window cannot serve: the
// file and folder chooser, plain message boxes and a progress window.
#pragma once

#include <cstdio>
#include <string>

// mode (a choose_path_mode of widgets/hooks.h) 0 choose an existing file, 1
// name a file to save (path_inout holds the proposed name), 2 choose a
// folder; any other mode shows nothing. The
// message and the button's word make the title; preference_key is kept for
// callers and unused here. 1 with the chosen path in path_inout; 0 on cancel
// or failure (a missing zenity too), path_inout unchanged. With the window
// up, its events keep being taken while the chooser is open, and on X the
// chooser is modal to it.
int GetFilePathFromUser(int mode, const char* message, const char* button_label, int preference_key,
                        const char* default_folder, std::string& path_inout);
// Whether the desktop can show a message box: a display server is there and
// SDL was not told to draw off screen.
bool PLAT_have_display();
// What a desktop message box is given: the first `limit` characters of the
// text, wrapped at kBoxLineChars characters a line (a longer word is broken),
// since the box never wraps and one long line carries it and its button off
// the screen. Characters are UTF-8 ones, never split.
constexpr size_t kBoxLineChars = 80;
std::string PLAT_box_text(const std::string& text, size_t limit);
// A stop alert with the message (cut to 255 characters).
void DoUserAlert(const char* message);
// A two-button question; true when the ok button was chosen.
bool ConfirmMessage(const char* message, const char* ok_label, const char* cancel_label);
// The progress window, made on the first ShowProgressMessage and kept for the
// run: the pipe zenity reads its figures from, zenity's process, whether it
// has ended (it is not started again), and the step of a bar without a
// figure. reset() closes a window still open and forgets it.
struct progress_state {
  FILE* wind = nullptr;
  int zenity = 0;  // pid
  bool gone = false;
  int nPhase = 0;

  void reset();
};
extern progress_state g_progress;

// Shows or updates the progress window; a negative fraction shows activity
// without a figure; null leaves the bar as it is.
void ShowProgressMessage(const char* text, float* fraction);
void EndianFlipShort(unsigned short* value);
unsigned int EndianFlipLong(unsigned int* value);
