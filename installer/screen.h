// The installer's screen: what its status line and message box say, worked
// out apart from the drawing so that every text can be checked, and the
// drawing of its panels, read-outs and progress bar.
#pragma once

#include <string>

struct screen_text {
  std::string text;
  int colour;
};

// What the status line depends on.
struct status_inputs {
  int all_done;
  int server_count;
  int dir_state;
  bool no_mirror_left;
  bool installing;
  bool dest_is_sim;
  int manifest_percent;  // of the manifest's download; -1 while its length is unknown
  // While installing, a mirror out of reach: seconds waited so far (-1: none),
  // seconds to the next try, and how long the install waits at most.
  float waited = -1.0f;
  float retry_in = 0.0f;
  float patience = 0.0f;
};
// The status line: the first condition that holds wins.
screen_text status_line(const status_inputs& in);

// The screen's figures that live from frame to frame.
struct screen_state {
  float totl_inst_rat = 0.0f;  // the smoothed progress, 0..1
  float tot_availabl = -1.0f;  // free kilobytes at the destination, -1 unknown
  float tot_down_req = 0.0f;   // the install's sizes, taken while idle
  float tot_disk_req = 0.0f;
  std::string tot_availabl_str, tot_disk_req_str;
  int disk_space_avail = 1;  // enables INSTALL
  int wrl_i = 8;             // the globe's icon cell
  // The destination as last looked at: whether it holds an installation,
  // asked again only when the destination, the reading or the install's
  // phase has changed, and its free space, asked then and every
  // kFreeSpaceRecheck seconds, so that space the user frees shows.
  std::string looked_at;
  int dest_is_sim = 0;
  float free_kb = -1.0f;
  float free_kb_at = 0.0f;  // clock seconds of that measure
};
extern screen_state g_screen;
// As at the start of a run.
void screen_reset();

inline constexpr float kFreeSpaceRecheck = 3.0f;

// Looks at the destination (a folder listing and the volume's free space)
// unless nothing has changed since the last look; the free space is
// measured again once it is kFreeSpaceRecheck seconds old.
void look_at_destination(screen_state& s);
// The message box's three lines for this frame from stg, next and the
// current file. While idle it takes the install's sizes and settles
// disk_space_avail; while installing it moves the smoothed progress.
void message_lines(screen_state& s, screen_text out[3]);
// The download in slot 1 as a percentage: -1 while its length is unknown, 0
// with no download.
int manifest_percent();

// [SECTION] Drawing

void draw_background();
// The destination field and the hint above it.
void draw_destination();
// The version, download and message panels, the status line and the lines.
void draw_panels(const screen_text& status, const screen_text lines[3]);
// The progress bar at the bottom of the screen.
void draw_progress_bar(const screen_state& s);
// The reading's progress panel, scanning or examining, while the manifest is
// read against the destination.
void draw_reading_progress(const std::string& title);
