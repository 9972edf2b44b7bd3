// The transfer engine: up to four download streams that fetch, check and
// unpack each wanted file, delete the obsolete ones, retry failed files from
// other mirrors, and finish with the clean-up and the folder's new name.
//
// A frame function drives it without waiting on the network:
//   at INSTALL       install_prepare(); choose_files(); make_dirs(); phase 1
//   every frame      install_frame_step(0.01) while stg.install_phase is 1
//   on screen        install_progress(), file_percent(), time_left_text()
//   destination      install_destination_changed()
//   quitting         reset_streams()
#pragma once

#include <cstdint>
#include <string>

#include "installer/update/manifest.h"

// Build switches, variables so that tests can take the other branch: files
// come from the mirrors (is_net 1) or from the local source folder dvd_path;
// an install from a disc (is_dvd 1) leaves its archives where they are.
extern int is_net;
extern int is_dvd;

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
int grab_files();

// The frame's share of the work: grab_files until the seconds are used or the
// install ends (then stg.install_phase becomes phase_ended and the streams are
// reset). While every stream waits on the network the rest of the time is
// spent waiting on its sockets, not spinning.
void install_frame_step(double seconds);

// The stream reset: abandons the streams' transfers, deletes this run's
// temporary archives (never a file of the destination), and starts the
// record `next` afresh with two streams (one from a local source).
void reset_streams();
// INSTALL: the stream reset with the errors and all_done cleared.
void install_prepare();
// A new destination: the reset, the phase back to idle, and a read manifest
// to be read again against the new folder.
void install_destination_changed();
// Changes stg.download_os; the manifest is read again so that sizes, the disk
// check and the executables follow the platform. Refused (0) while an
// install runs.
int set_download_os(int os);

// [SECTION] Unpacking

// What unpacking an archive came to.
enum unpack_result {
  unpack_done = 0,
  unpack_bad_archive = 1,  // not the file the manifest promises: fetch it again elsewhere
  unpack_failed = 2,       // a local failure (a full disk...): shown, and the install stops
};

// Unpacks the archive of record `want` into place at destination: only when
// it holds that one file (and its "__MACOSX" twin) within the manifest's
// size, through a scratch folder beside the target, and only once the
// unpacked file's size and MD5 are the manifest's. Then makes programs under
// "Contents/MacOS/" executable and deletes the archive (unless is_dvd).
int extract_and_delete_file(const std::string& archive, const std::string& destination,
                            const file_version_struct& want);

// [SECTION] Downloads and mirrors

// How long the mirrors may stay out of reach (no connection, no reply, a
// server error) before the file being fetched is given up and the install
// ends: a mirror that comes back within it finds the install still going.
// A mirror that answers that it lacks the file, or sends one that is not
// the manifest's, is given up for that file at once.
inline constexpr float kMirrorPatience = 120.0f;
// The patience in use: kMirrorPatience, shortened by tests.
extern float mirror_patience;

// The mirror a stream fetches from (each stream keeps its own, so that one
// stream's failure never moves another's transfer); -1 before its first
// download, which starts from stg.server_index.
int stream_mirror(int stream);

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
install_figures install_progress(float tot_down_req, float tot_disk_req);
// The smoothed progress bar: moves toward target by 5 frame periods a
// second; stays within 0..1.
float smooth_progress(float ratio, float target, float frame_period);
// "N seconds", "N minutes" or "N hours"; "" when seconds is negative or not
// finite.
std::string time_left_text(float seconds);
// The current file's percentage, 0..100 (0 while its length is unknown).
int file_percent();

// The install waiting for a mirror to come back: the stream whose mirror
// has been out of reach longest.
struct mirror_wait {
  float waited;    // seconds since its mirror stopped answering; -1 when no stream waits
  float retry_in;  // seconds until its next try; 0 while it is trying
};
mirror_wait install_waiting();
