// Unpacking downloaded archives into place on the worker pool. A stream hands
// its finished archive over and takes its next file at once; the main thread
// takes the results back in the order they were handed over and reports
// them (log lines, alerts), so the install reads the same whichever worker
// ends first.
//
//   hand over       unpack_room(in), then unpack_hand_over(in, job)
//   every step      unpack_next_result(in) until null, each then unpack_pop(in)
//   waits           unpack_ended_fd(in) becomes readable when a job ends
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "installer/update/install.h"
#include "installer/update/manifest.h"

// What unpacking an archive came to.
enum unpack_result {
  unpack_done = 0,
  unpack_bad_archive = 1,  // not the file the manifest promises: fetch it again elsewhere
  unpack_failed = 2,       // a local failure (a full disk...): shown, and the install stops
  // The place holds something other than what the decisions judged (a copy
  // that changed since, or one reached through a link this run placed): the
  // archive is kept, and the user is asked as about any file of theirs.
  unpack_changed = 3,
};

// What stands in the way of a new file when a release turns a folder into a
// file or a link, or a file or link into a folder.
struct in_the_way {
  std::string path;                // the entry in the way, as the user sees it
  std::vector<std::string> users;  // what of the user's it holds, beneath the destination
};

// One archive unpacked into place: into a scratch folder of its own beside
// the target, only when it holds that one file (and its "__MACOSX" twin)
// within the manifest's size, and only once the unpacked file's size and MD5
// are the manifest's (a program under "Contents/MacOS/" then made
// executable, there); then the archive deleted (unless kept). run() may run
// on a worker: it reads of the install only what stays fixed while files
// are fetched (the destination, the manifest's paths and wishes), writes
// only the job and the files beneath the destination, and keeps its log
// lines in `log`.
struct unpack_job {
  // Handed over.
  const install_state* in = nullptr;
  int file = -1;  // its index in the manifest
  std::string archive, destination;
  std::string source;  // the archive's address, for the messages
  file_version_struct want;
  stream_retry retry;    // the stream's tries of the file so far
  bool here = false;     // run on the handing thread (its archive has no name of its own)
  int scratch_slot = 0;  // one per job out: the scratch folder's number
  std::string scratch;   // that folder's name, ending in "/": the first one
                         // tried, then the one the job made
  bool keep_archive = false;
  bool log_actions = false;
  // Taken while the job changes the tree's shape; null when nothing runs
  // beside it.
  std::mutex* tree_lock = nullptr;
  // What may stand at the place when the file goes there: what the
  // examination judged, what the user agreed to replace, or any file this
  // run placed (the set, shared by the jobs, under tree_lock).
  file_identity judged = kNothingThere;
  file_identity accept = kNothingThere;
  std::set<file_identity>* placed_ids = nullptr;

  // Found by run().
  int code = 0;         // behind the problem, as the log reports it
  std::string problem;  // the first problem met; empty when none
  in_the_way way;       // what of the user's stood in the way
  int chmod_result = 0, delete_result = 0;
  bool changed = false;                  // the place did not hold what was judged
  file_identity found = kNothingThere;   // what stood at the place
  file_identity placed = kNothingThere;  // the file as put in place
  std::string thrown;                    // what run() threw, when it did
  std::ostringstream log;

  void run();
  // run() was cut short (it threw, or its thread ended): a local failure,
  // and what it left (its scratch folder, the archive) goes.
  void failed(const std::string& what);
};

// A job for the archive of record `want` (file index `file`, -1 for none) that
// goes to destination.
std::unique_ptr<unpack_job> make_unpack_job(const install_state& in, int file,
                                            const std::string& archive,
                                            const std::string& destination,
                                            const file_version_struct& want);

// Logs what the job did and reports its problem: a failure of the file system
// or something of the user's in the way sets install_error and shows its
// alert (only logged once the run has failed); a bad archive is the mirror's
// and may be fetched again.
unpack_result unpack_report(install_state& in, const unpack_job& job);
// The archive a job kept for its question (unpack_changed) goes, unless the
// install keeps its archives.
void unpack_discard_archive(const unpack_job& job);

// Removes, from every folder that holds a file of the manifest, the scratch
// folders an interrupted run left there: those that hold the note a job
// writes and nothing but what the job unpacked. A folder of the user's is
// never taken for one by its name.
void unpack_sweep_leftovers(const install_state& in);

// The whole of it here and now: the job run on this thread and reported.
// file: the manifest's index (-1 none), whose examined copy may be replaced;
// accept: what else the user agreed to replace; *done (when given) gets
// what stood at the place and what was put there.
struct unpack_outcome {
  file_identity found = kNothingThere;
  file_identity placed = kNothingThere;
};
unpack_result extract_and_delete_file(install_state& in, const std::string& archive,
                                      const std::string& destination,
                                      const file_version_struct& want, int file = -1,
                                      file_identity accept = kNothingThere,
                                      unpack_outcome* done = nullptr);

// The archives handed over and not yet taken back. Whether another may be
// handed over: at most two a worker wait, so that a slow disk holds back the
// streams rather than filling the temporary folder.
bool unpack_room(const install_state& in);
// The job gets its scratch folder's name and goes to a worker, or is run at
// once on this thread (`here`, or without workers).
void unpack_hand_over(install_state& in, std::unique_ptr<unpack_job> job, bool here = false);
// The oldest job handed over, once it has run; null while it runs or when
// none is out.
unpack_job* unpack_next_result(install_state& in);
std::unique_ptr<unpack_job> unpack_pop(install_state& in);
// The jobs handed over and not taken back, and those held.
size_t unpack_pending(const install_state& in);
// A job whose place lies beneath another file of this install that is not
// in place yet waits, so that what it replaces is what stands once that
// file is there whichever finishes first; unpack_release hands over, in
// the order they were held, those for which ready() now holds. A held
// job's archive goes when the install stops.
void unpack_hold(install_state& in, std::unique_ptr<unpack_job> job);
void unpack_release(install_state& in, const std::function<bool(const unpack_job&)>& ready);
// The install stops: the jobs out finish (each deleting its archive), their
// results are logged, never shown or counted, and the queue goes.
void unpack_drop_all(install_state& in);
// Held while the tree beneath the destination changes shape (folders made or
// removed, files deleted or renamed into place), so that the jobs and the
// main thread's deletions take turns; the unpacking and the MD5 check, the
// long part, run beside. Holds nothing while no job is out.
std::unique_lock<std::mutex> unpack_tree_turn(install_state& in);
// Readable once a job has ended since the last unpack_next_result; -1 when
// no job is out.
int unpack_ended_fd(const install_state& in);
