// Three helpers of the installer's screens: sizes as the screen writes them,
// the message that the servers hold formats newer than this installer reads,
// and the progress panel of a long reading.
#pragma once

#include <string>

// kb (kilobytes of 1000 bytes) as "1.2 Meg" below 1000 MB, else "1.0 Gig"
// (also for a value that is not a number).
void set_size_str(float kb, std::string& out);

// Tells the user to get a new installer, opens the maker's download page and
// ends the run after this frame. path: the file that was too new.
void new_format(const std::string& path);

// Where dir_progress_bar draws, for a window of the given pixel size.
struct progress_panel_layout {
  float left, bottom;  // the panel's 512 x 138 area
  float fraction;      // of the bar that is filled, 0.04 to 1
  float x1, x2, y;     // the bar's ends and height
  float fill;          // where the filled part ends
};
progress_panel_layout dir_progress_layout(float lo, float value, float hi, int pixel_dx,
                                          int pixel_dy);

// The panel alone, drawn into the frame under way.
void dir_progress_panel(float lo, float value, float hi, int stage, const std::string& title,
                        const std::string& detail);
// Draws the whole panel over the background and shows it at once: it is
// drawn from inside a long task, outside the frame. stage 0 scanning the
// manifest, 1 examining the disk.
void dir_progress_bar(float lo, float value, float hi, int stage, const std::string& title,
                      const std::string& detail);
// The manifest reader's progress hook in the program: the panel, then the
// window's events, so the desktop never sees the window hang.
void dir_progress_frame(float lo, float value, float hi, int stage, const std::string& title,
                        const std::string& detail);
