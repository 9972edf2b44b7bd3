// The transfer engine: up to four download streams that fetch, check and
// unpack each wanted file, delete the obsolete ones, retry failed files from
// other mirrors, and finish with the clean-up and the folder's new name.
//
// A frame function drives it without waiting on the network, handing in
// the install (installer/update/install.h) it works on:
//   at INSTALL       install_prepare(in); choose_files(in); make_dirs(in);
//                    install_start(in)
//   every frame      install_frame_step(in, 0.01) while stg.install_phase is 1
//   on screen        install_progress(in), file_percent(in), time_left_text()
//   destination      install_destination_changed(in)
//   quitting         install_stop(in)
#pragma once

#include <poll.h>

#include <cstdint>
#include <string>

#include "installer/update/install.h"
#include "installer/update/manifest.h"

// stg.install_phase.
enum install_phase_code {
  phase_idle = 0,
  phase_installing = 1,
  phase_ended = 2,  // finished or stopped
};

// stg.file_action: what the current file is getting.
enum file_action_code {
  action_deleting = 0,
  action_downloading = 1,
  action_current = 2,  // skipped: already the wanted version
  action_skipped = 3,  // skipped: not wanted, or kept
};

// The server list's download cap, in bytes: a mirror that sends more is
// treated as a failed download (the manifest's caps are beside its reader).
inline constexpr int64_t kServerListCap = 64 * 1024;

// [SECTION] Driving an install

// One step of every stream that is on. Returns stg.install_error while work
// remains (nonzero: the install has failed and stops), 1 once every file is
// handled. The clean-up of emptied folders runs either way; only an install
// without a failure, whose wanted files are all still in place after it, ends
// in all_done and the rename.
int grab_files(install_state& in);

// What a frame step of an install came to.
enum install_step_result {
  install_running = 0,   // work remains (or no install runs)
  install_complete = 1,  // ended in this step: every file is in place
  install_failed = 2,    // ended in this step: an error stopped it
};

// What an install waits on: the streams' sockets and, while archives are
// being unpacked, the descriptor that a finished one makes readable. Fills
// at most `room` entries of fds and returns how many. The frame's wait for
// events ends as soon as one of them is ready.
int install_ready_fds(const install_state& in, pollfd* fds, int room);
// The most install_ready_fds may give.
inline constexpr int kInstallReadyFds = kStreams + 1;

// The frame's share of the work: grab_files until the seconds are used or the
// install ends (then stg.install_phase becomes phase_ended and the streams are
// reset, and the result says how it ended). While every stream waits on the
// network the rest of the time is spent waiting on its sockets, not spinning.
install_step_result install_frame_step(install_state& in, double seconds);

// The stream reset: abandons the streams' transfers, deletes this run's
// temporary archives (never a file of the destination), and starts the
// record `next` afresh with two streams (one from a local source).
void reset_streams(install_state& in);
// INSTALL: the stream reset with the errors and all_done cleared.
void install_prepare(install_state& in);
// The decisions made and the folders made: the scratch folders an
// interrupted run left go, and the install runs (phase_installing).
void install_start(install_state& in);
// The decisions cancelled: the install stays idle.
void install_cancelled(install_state& in);
// The program ends: a reading under way stopped, the streams reset (their
// temporary archives gone), the install ended.
void install_stop(install_state& in);
// A new destination: the reset, the phase back to idle, and a read manifest
// to be read again against the new folder.
void install_destination_changed(install_state& in);
// Changes stg.download_os; the manifest is read again so that sizes, the disk
// check and the executables follow the platform. Refused (0) while an
// install runs.
int set_download_os(install_state& in, int os);

// [SECTION] Failing

// A failure that ends the run: the first one sets install_error and is
// shown (a t_alert with the four lines, from source_file and source_line);
// once the run has failed, every later one is only logged, so that one
// failure (a full disk, a broken mirror) never piles up alerts while the
// jobs out end.
void install_failure(install_state& in, const char* line1, const char* line2, const char* line3,
                     const char* line4, const char* source_file, int source_line);

// [SECTION] Downloads and mirrors

// The mirror a stream fetches from (each stream keeps its own, so that one
// stream's failure never moves another's transfer); -1 before its first
// download, which starts from stg.server_index.
int stream_mirror(const install_state& in, int stream);

// [SECTION] Read-outs for the screen

struct install_figures {
  float fraction;       // installed of what is to be installed, 0..1; 1 when nothing is
  float downloaded_kb;  // finished and running
  float rate;           // kilobytes per second, 0 or more
  float seconds_left;   // -1 when no time can be given (nothing measured yet)
  int streams;          // streams on
};
// Every figure is finite. tot_down_req and tot_disk_req: the sizes of the
// install as the screen took them before it started.
install_figures install_progress(const install_state& in, float tot_down_req, float tot_disk_req);
// The smoothed progress bar: moves toward target by 5 frame periods a
// second; stays within 0..1.
float smooth_progress(float ratio, float target, float frame_period);
// "N seconds", "N minutes" or "N hours"; "" when seconds is negative or not
// finite.
std::string time_left_text(float seconds);
// The current file's percentage, 0..100 (0 while its length is unknown).
int file_percent(const install_state& in);

// The install waiting for a mirror to come back: the stream whose mirror
// has been out of reach longest.
struct mirror_wait {
  float waited;    // seconds since its mirror stopped answering; -1 when no stream waits
  float retry_in;  // seconds until its next try; 0 while it is trying
};
mirror_wait install_waiting(const install_state& in);
