// The state of one install: where it goes, the mirrors it fetches from, its
// manifest records, its streams and what they have done. The frame owns the
// program's one install and hands it to every function of the engine; a test
// may make as many as it likes and drive them side by side.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <deque>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "core/globals.h"
#include "installer/update/manifest.h"
#include "installer/update/server_list.h"
#include "net/http.h"
#include "net/retry_pause.h"

// The download streams. The first two words are zero at start; all are
// zeroed at exit.
struct next_struct {
  int next_file = 0;
  int all_done = 0;
  int stream_on[kStreams] = {};
  int stream_takes_next[kStreams] = {};
  int stream_file[kStreams] = {};
  float reset_time = 0.0f;
  float running_kb = 0.0f;
  float finished_kb = 0.0f;
  float installed_kb = 0.0f;
};

// How long the mirrors may stay out of reach (no connection, no reply, a
// server error) before the file being fetched is given up and the install
// ends: a mirror that comes back within it finds the install still going.
// A mirror that answers that it lacks the file, or sends one that is not
// the manifest's, is given up for that file at once.
inline constexpr float kMirrorPatience = 120.0f;

// A stream's own mirror, and the retries of the file it holds.
struct stream_retry {
  int mirror = -1;  // -1 until its first download, which takes stg.server_index
  net_retry_pause pause;
  float resume_at = 0.0f;           // clock seconds when it may try again
  float away_since = -1.0f;         // its first failure since a mirror last sent the file; -1 none
  int failures[kMirrorCount] = {};  // per mirror; kRefused once that mirror refused the file
};

// Each wanted file as the run saw it in place with the manifest's MD5, taken
// by the thread that checked that MD5 when it checked it (the examination
// for a current file, the unpacking job for a new one): the end of the
// install finds it the same, after every deletion and removal, or the
// install is incomplete.
struct placed_file {
  bool wanted = false;
  file_identity id = kNothingThere;  // kNothingThere: never seen in place
};

// A reading of the manifest under way (manifest.cpp keeps its insides); the
// deleter stops its workers first.
struct manifest_reading;
struct manifest_reading_end {
  void operator()(manifest_reading* r) const;
};

// The archives handed to the workers for unpacking (unpack.cpp keeps its
// insides); the deleter waits for the jobs out, which delete their archives.
struct unpack_queue;
struct unpack_queue_end {
  void operator()(unpack_queue* q) const;
};

// A file whose archive a worker found bad, to be fetched again: the next
// stream that takes a file takes it first, with its tries so far.
struct refetch {
  int file = 0;
  stream_retry retry;
};

// The answers given for a whole folder, by the decisions or by a question
// while the install runs: they stand until the next decisions.
struct folder_answers {
  std::vector<std::string> act_all, keep_all;
};

// Everything of one install but the block it reports through; reset as a
// whole.
struct install_record {
  // Where.
  std::string dest_dir_path;  // always meant to end in "/"
  std::string temp_path;
  std::string install_name;
  // The source of the files: the mirrors (is_net 1) or the local source
  // folder dvd_path; an install from a disc (is_dvd 1) leaves its archives
  // where they are. Build switches, kept here so that tests take the other
  // branch.
  int is_net = 1;
  int is_dvd = 0;

  // Mirrors.
  std::string server_name[kMirrorCount], server_path[kMirrorCount], server_desc[kMirrorCount];
  // The patience in use: kMirrorPatience, shortened by tests.
  float mirror_patience = kMirrorPatience;

  // The manifest.
  // The manifest in file order; a file's index here is the index the
  // streams are handed.
  std::vector<file_history_struct> sim_info;
  // What the examination found at each file's place when it took its MD5
  // (kNothingThere: no copy). A file is put in place only over what was
  // judged, or over what this run put there itself.
  std::vector<file_identity> examined;
  // Why the last reading found the manifest unusable ("" when it did not).
  std::string manifest_problem;
  std::unique_ptr<manifest_reading, manifest_reading_end> reading;
  // FILE lines scanned by this install's readings, dropped ones included:
  // the progress panel is drawn on every 500th of them, across readings.
  size_t file_lines = 0;
  int this_install_has_exes = 0;

  // Streams.
  // The download slots the streams take: first_slot and the ones after it,
  // one a stream, at most kStreams. The program's install takes the
  // streams' slots (stream_slot); two installs side by side take slots
  // apart.
  int first_slot = kFirstStreamSlot;
  int slot_count = kStreams;
  next_struct next;
  std::string crnt_file_name, crnt_file_path;
  stream_retry retries[kStreams];
  std::vector<placed_file> placed;
  // The places of fetched files that other fetched files lie beneath, with
  // how many of their histories are not in place yet: the jobs beneath wait
  // for them.
  std::map<std::string, int> unsettled_above;
  // Files finished since the start of the run, and unpacking results taken
  // back: with the slots' byte counts they tell the frame step whether a call
  // did anything.
  uint64_t finished_files = 0;
  uint64_t results_taken = 0;
  std::unique_ptr<unpack_queue, unpack_queue_end> unpacking;
  std::deque<refetch> again;
  // A stream whose archive finished while the workers were full: it waits
  // under the stream's name until they have room.
  int archive_held[kStreams] = {};
  // How many archives may be out with the workers at once: 0 for two a
  // worker (tests set fewer).
  int unpacks_out_limit = 0;

  // Questions.
  folder_answers answers;

  // Deletions.
  // Folders that held a deleted file: the clean-up removes those left empty.
  std::set<std::string> deleted_files;
};

struct install_state : install_record {
  // block: the settings it follows and the status it reports (the frame's
  // install uses the program's stg, which the screen and the preferences
  // read).
  explicit install_state(stg_block& block) : stg(block) {}
  install_state(const install_state&) = delete;
  install_state& operator=(const install_state&) = delete;

  stg_block& stg;

  // Everything of the record back to its start (a reading under way
  // stopped); the block is left as it is.
  void reset() {
    // The workers of a reading write into the records, and those of the
    // unpacking beneath the destination: stopped first.
    reading.reset();
    unpacking.reset();
    static_cast<install_record&>(*this) = install_record();
  }
  // How many streams the install may run: its slots, at most kStreams.
  int streams() const { return slot_count < 1 ? 1 : slot_count > kStreams ? kStreams : slot_count; }
};
