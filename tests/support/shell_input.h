// Tests that drive the real frame loop: the program's window on an offscreen
// context, and input pushed onto SDL's own queue in the current window's
// logical units, for the next MACIBM_event_proc to pump.
#pragma once

#include <SDL2/SDL.h>

#include <functional>
#include <string>
#include <vector>

namespace testing_support {

// Makes the main window (pixel_dx by pixel_dy), the menu table and the first
// frame in window 0; false, with SDL's reason in *error, when there is no
// window.
bool open_shell_window(int pixel_dx, int pixel_dy, const char** error);
void close_shell_window();

// A button event at a point of the current window (x right, y up).
void push_button(Uint32 type, float x, float y);
// A press and its release, both for the next frame.
void push_click(float x, float y);
// A key event of the scancode's key; repeat marks an auto-repeat.
void push_key(Uint32 type, SDL_Scancode s, Uint16 mod = 0, bool repeat = false);
// A key-down and its key-up.
void push_keystroke(SDL_Scancode s, Uint16 mod = 0);
// Text with no key before it: each character a key of its own.
void push_text(const char* utf8);
// A close request (the window's close button or a signal).
void push_quit();

// Runs a modal window's loop (window: the function that runs it) with the
// steps run one a frame, from the frame's clock update, after its events
// were taken: what a step pushes arrives in the next frame, in the units of
// the window then current.
void run_frames(std::vector<std::function<void()>> steps, const std::function<void()>& window);
// Writes the w x h pixels of the back buffer from (x, y) of the drawable as
// an upright PNG; false when it cannot be written.
bool save_back_buffer(const std::string& path, int x, int y, int w, int h);

}  // namespace testing_support
