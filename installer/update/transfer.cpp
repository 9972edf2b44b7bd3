// The transfer engine: four streams, retries from other mirrors, the stream
// count following the rate, the clean-up, the folder's new name, the frame's
// time budget and the figures the screen shows.
//
// Contents
//   [SECTION] State
//   [SECTION] Failing
//   [SECTION] Downloads and mirrors
//   [SECTION] Files beneath files
//   [SECTION] One step of a stream
//   [SECTION] Finishing
//   [SECTION] Driving an install
//   [SECTION] Read-outs
#include "installer/update/transfer.h"

#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/alert.h"
#include "core/clock.h"
#include "core/globals.h"
#include "core/threads/threads.h"
#include "Files/beneath.h"
#include "Files/errors.h"
#include "Files/folder_list.h"
#include "Files/io_utils.h"
#include "installer/update/decisions.h"
#include "installer/update/folders.h"
#include "installer/update/server_list.h"
#include "installer/update/unpack.h"
#include "net/capped_download.h"
#include "net/down_class.h"
#include "net/http.h"
#include "net/retry_pause.h"
#include "Sockets/PCSBSocket.h"

// [SECTION] State

namespace {

// The failure count of a mirror that refused the file: never drawn for it again.
const int kRefused = 1 << 20;

std::string temp_archive(const install_state& in, int stream) {
  return in.temp_path + char('0' + stream) + ".zip";
}

// Where a finished archive waits for its worker, so that its stream may
// fetch the next one under its own name meanwhile.
std::string handed_over_archive(const install_state& in, int file) {
  return in.temp_path + "unpacking-" + std::to_string(file) + ".zip";
}

std::string leaf_of(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

int streams_on(const install_state& in) {
  int on = 0;
  for (int s = 0; s < in.streams(); ++s) on += in.next.stream_on[s] ? 1 : 0;
  return on;
}

// The download slot of stream s.
int slot_of(const install_state& in, int s) { return in.first_slot + s; }

}  // namespace

// [SECTION] Failing

void install_failure(install_state& in, const char* line1, const char* line2, const char* line3,
                     const char* line4, const char* source_file, int source_line) {
  if (!in.stg.install_error) {
    in.stg.install_error = 1;
    __MACIBM_alert(wind_main, line1, line2, line3, line4, t_alert, source_file, source_line);
    return;
  }
  xer << "Not shown, the install has already failed: " << line1;
  for (const char* line : {line2, line3, line4})
    if (line && *line) xer << " / " << line;
  xer << "\n";
}

// [SECTION] Downloads and mirrors

int stream_mirror(const install_state& in, int stream) {
  return stream >= 0 && stream < kStreams ? in.retries[stream].mirror : -1;
}

namespace {

// After a failed download or a bad archive: the same file again on this
// stream after a growing pause, from the mirror that has failed it least
// (the first ones favoured among equals). A mirror that refused the file is
// not asked for it again; mirrors out of reach are waited for until they
// have been away for mirror_patience seconds, counted from the first failure
// since a mirror last sent bytes of the file. Only this stream moves: the
// others' transfers carry on from their own mirrors. Returns false when the
// file is given up.
// A failed download is retried by its own stream, a bad archive by the next
// stream that takes a file; next_file is not set back to it, since the other
// streams would fetch the files after it a second time.
bool plan_retry(install_state& in, stream_retry& st, const std::string& file_path,
                download_failure failure) {
  const int mirrors = std::max(0, std::min(in.stg.server_count, kMirrorCount));
  if (!in.is_net || mirrors == 0) return false;
  const float now = xtim.act_time;
  if (st.mirror >= 0 && st.mirror < mirrors) {
    int& failed = st.failures[st.mirror];
    failed = failure == failure_refused ? kRefused : std::min(failed + 1, kRefused - 1);
  }
  if (failure == failure_unreachable) {
    if (st.away_since < 0) st.away_since = now;
    if (now - st.away_since >= in.mirror_patience) {
      xer << "Giving up " << file_path << ": no server has sent it for "
          << static_cast<int>(now - st.away_since) << " s.\n";
      return false;
    }
  }
  const int next_mirror = draw_least_failed(st.failures, mirrors, kRefused);
  if (next_mirror < 0) return false;
  st.mirror = next_mirror;
  // Where the install now fetches from, for the screen and the streams that
  // start later; the other streams keep theirs.
  in.stg.server_index = next_mirror;

  st.pause.failed(now);
  st.resume_at = st.pause.resume_at();
  // The last try comes when the patience runs out, not a long pause after.
  if (st.away_since >= 0) st.resume_at = std::min(st.resume_at, st.away_since + in.mirror_patience);
  xer << "Trying " << file_path << " again from " << in.server_name[next_mirror] << " in "
      << st.resume_at - now << " s.\n";
  xer.flush();
  return true;
}

}  // namespace

// [SECTION] Files beneath files

namespace {

// Whether file lies beneath a file of this install that is not in place
// yet (a link the release adds, say): its job waits for that one, so that
// what it finds at its place is the same whichever worker ends first.
bool waits_for_a_file_above(const install_state& in, int file) {
  if (in.unsettled_above.empty()) return false;
  std::string rel;
  if (!dest_rel(in, local_path_of(in, in.sim_info[file].back()), &rel)) return false;
  for (size_t slash = rel.find('/'); slash != std::string::npos; slash = rel.find('/', slash + 1)) {
    auto it = in.unsettled_above.find(rel.substr(0, slash));
    if (it != in.unsettled_above.end() && it->second > 0) return true;
  }
  return false;
}

// The files this install fetches that others it fetches lie beneath, with
// how many of their histories are still to be put in place.
void find_files_above(install_state& in) {
  in.unsettled_above.clear();
  std::map<std::string, int> fetched;
  std::string rel;
  for (const file_history_struct& h : in.sim_info)
    if (h.back().want_download && dest_rel(in, local_path_of(in, h.back()), &rel)) ++fetched[rel];
  for (const auto& f : fetched)
    for (size_t slash = f.first.find('/'); slash != std::string::npos;
         slash = f.first.find('/', slash + 1)) {
      auto above = fetched.find(f.first.substr(0, slash));
      if (above != fetched.end()) in.unsettled_above.insert(*above);
    }
}

// A fetched file is in place, kept or given up: the files beneath it that
// waited for it go to the workers.
void settle_above(install_state& in, int file) {
  std::string rel;
  if (in.unsettled_above.empty() ||
      !dest_rel(in, local_path_of(in, in.sim_info[file].back()), &rel))
    return;
  auto it = in.unsettled_above.find(rel);
  if (it != in.unsettled_above.end() && it->second > 0) --it->second;
  unpack_release(in,
                 [&in](const unpack_job& job) { return !waits_for_a_file_above(in, job.file); });
}

}  // namespace

// [SECTION] One step of a stream

namespace {

// After a finished file: the number of streams follows the rate measured
// since the reset (or the preference, clamped to 1..4 when set).
void stream_finished(install_state& in, int s) {
  ++in.finished_files;
  stream_retry& st = in.retries[s];
  const int mirror = st.mirror;
  st = stream_retry();
  st.mirror = mirror;

  const float elapsed = std::max(xtim.act_time - in.next.reset_time, 1.0f);
  const float rate = (in.next.finished_kb + in.next.running_kb) / elapsed;
  int wanted = rate > 200 ? 9 : rate > 150 ? 8 : rate > 100 ? 6 : rate > 50 ? 4 : 2;
  const int preferred = std::max(0, std::min(in.stg.stream_count, kStreams));
  if (preferred) wanted = preferred;
  if (in.is_dvd) wanted = 1;

  const int on = streams_on(in);
  if (on < wanted)
    for (int k = 0; k < in.streams(); ++k)
      if (!in.next.stream_on[k]) {
        in.next.stream_on[k] = 1;
        in.next.stream_takes_next[k] = 1;
        break;
      }
  // The last stream that is on carries on whatever the count asks.
  if (wanted < on && on > 1)
    in.next.stream_on[s] = 0;
  else
    in.next.stream_takes_next[s] = 1;
}

// A deletion never follows a link on its way: what lies behind a link is
// not the old file (a release may have turned its folder into that link).
void delete_obsolete(install_state& in, const std::string& destination) {
  std::unique_lock<std::mutex> turn = unpack_tree_turn(in);
  std::string rel;
  int r =
      dest_rel(in, destination, &rel) ? beneath_unlink(dest_root(in), rel, walk_no_links) : EXDEV;
  const bool through_link = r == ELOOP || r == EXDEV;
  if (through_link) {
    r = EACCES;
    xer << "Not deleting " << destination << ": a link stands on its way.\n";
  }
  if (in.stg.log_actions)
    xer << "now we want to nuke a file: DELETING  file " << destination << ", with result=" << r
        << ".\n";
  if (!through_link) {
    std::string folder = destination.substr(0, destination.rfind('/') + 1);
    while (folder.size() > in.dest_dir_path.size()) {
      in.deleted_files.insert(folder);
      folder.pop_back();
      folder.erase(folder.rfind('/') + 1);
    }
  }
  // show_del_err never asks for it; the alert stays as it always read. A
  // fatal alert stops the install, which waits for the jobs out: they need
  // the turn.
  turn = std::unique_lock<std::mutex>();
  if (show_del_err(r)) {
    const std::string text = error_str(r);
    __MACIBM_alert(wind_main, "Could not delete a file that I no longer want to have!",
                   text.c_str(), destination.c_str(), "", t_exit, "Installer-f/utils", 482);
  }
}

bool stat_in_place(const install_state& in, int file, struct stat* st) {
  std::string rel;
  return dest_rel(in, local_path_of(in, in.sim_info[file].back()), &rel) &&
         beneath_lstat(dest_root(in), rel, walk_links_inside, st) == 0;
}

// A wanted file as it stood when its MD5 was checked: by the examination
// for a current file, by its unpacking job for a new one.
void record_placed(install_state& in, int file, file_identity id) {
  if (in.placed.size() < in.sim_info.size()) in.placed.resize(in.sim_info.size());
  in.placed[file] = {true, id};
}

file_identity examined_identity(const install_state& in, int file) {
  return static_cast<size_t>(file) < in.examined.size() ? in.examined[file] : kNothingThere;
}

bool still_placed(const install_state& in, int file) {
  struct stat st;
  return in.placed[file].id != kNothingThere && stat_in_place(in, file, &st) &&
         identity_of(st) == in.placed[file].id;
}

void give_up(install_state& in, const std::string& file_path) {
  in.stg.download_error = 0;
  const std::string line2 = "File: " + file_path;
  const std::string line3 = "Servers tried: " + std::to_string(std::max(in.stg.server_count, 0));
  install_failure(in, "The installer could not get a good copy of a file from any server.",
                  line2.c_str(), line3.c_str(), "", __FILE__, __LINE__);
}

// A download that could not be written to the temporary folder (a full
// disk, a quota, an I/O error): the machine's failure, not the mirror's, so
// no other mirror is tried and no patience runs; the install ends.
void temp_folder_failed(install_state& in, int code) {
  in.stg.download_error = 0;
  xer << "The download could not be written to " << in.temp_path << ": " << error_str(code)
      << ".\n";
  const std::string line2 = "Folder: " + in.temp_path;
  const std::string line3 = "Error: " + error_str(code);
  install_failure(in, "The installer cannot write to its temporary folder.", line2.c_str(),
                  line3.c_str(), "", __FILE__, __LINE__);
}

// What one stream fetches and where the file goes.
struct stream_file {
  int mirror;               // the stream's mirror
  bool mirror_ok;           // false: the stream has no mirror to ask
  std::string remote;       // the archive's address on the mirror
  std::string source;       // the archive the stream reads: the mirror's or the DVD's
  std::string destination;  // where the file goes
};

// The stream keeps its mirror; one that has none yet takes the install's.
stream_file locate_file(install_state& in, int s, const file_version_struct& e) {
  std::string rest = e.path;
  trim_dest_folder(rest);
  stream_retry& st = in.retries[s];
  if (in.is_net && st.mirror < 0) st.mirror = in.stg.server_index;
  stream_file f;
  f.mirror = st.mirror;
  f.mirror_ok = f.mirror >= 0 && f.mirror < kMirrorCount;
  f.remote = (f.mirror_ok ? in.server_path[f.mirror] : std::string()) + e.path + ".zip";
  f.source = in.is_net ? f.remote : dvd_path + in.install_name + "/" + e.path + ".zip";
  f.destination = in.dest_dir_path + rest;
  return f;
}

// A file the manifest keeps or deletes needs no download: true when e was
// one, and is done with.
bool settled_without_download(install_state& in, int s, int i, const file_version_struct& e,
                              const std::string& destination) {
  if (e.want_download && !e.want_delete) return false;
  if (e.want_delete) {
    in.stg.file_action = action_deleting;
    delete_obsolete(in, destination);
  } else {
    in.stg.file_action = e.same ? action_current : action_skipped;
    if (e.same) record_placed(in, i, examined_identity(in, i));
  }
  stream_finished(in, s);
  return true;
}

// What a worker made of a file's archive, taken back on the main thread: a
// bad archive is fetched again from another mirror by the next stream that
// takes a file, or given up, and no longer counts as downloaded; a file in
// place counts toward the progress. A local failure has set install_error
// and shown its alert; the file counts as handled and the install stops.
void settle_unpacked(install_state& in, int file, const std::string& source,
                     const stream_retry& tries, unpack_result unpacked, file_identity placed) {
  file_version_struct& e = in.sim_info[file].back();
  if (unpacked == unpack_bad_archive) {
    in.stg.download_error = 1;
    in.next.finished_kb -= e.zip_size;
    stream_retry retry = tries;
    // A bad archive is the mirror's answer: refused, like a reply of "not found".
    if (plan_retry(in, retry, source, failure_refused))
      in.again.push_back({file, retry});
    else
      give_up(in, source);
  } else if (unpacked == unpack_done) {
    in.stg.download_error = 0;
    e.same = 1;
    e.sig_have = e.sig_want;
    in.next.installed_kb += e.ext_size;
    record_placed(in, file, placed);
    settle_above(in, file);
  }
}

// What became of a file whose place held something the decisions never
// judged: the user's answer, as for a copy the user changed.
enum found_answer { found_cancelled = -1, found_kept = 0, found_replaced = 1 };

found_answer answer_found(install_state& in, int file) {
  const std::string local = local_path_of(in, in.sim_info[file].back());
  int act = 0;
  if (!answer_about_copy(in, local, 0, ": its place holds something the install did not judge",
                         &act)) {
    xer << "The install was cancelled at " << local << ".\n";
    in.stg.install_error = 1;
    return found_cancelled;
  }
  if (act) return found_replaced;
  xer << "Keeping " << local << ": what stands there stays.\n";
  // The user's copy stays; the end of the install does not look for ours.
  in.sim_info[file].back().want_download = 0;
  if (static_cast<size_t>(file) < in.placed.size()) in.placed[file] = placed_file();
  settle_above(in, file);
  return found_kept;
}

// The job's file goes in place over what was found, once the user agrees;
// the archive was kept for that.
void place_over_found(install_state& in, std::unique_ptr<unpack_job> job) {
  const found_answer answer = answer_found(in, job->file);
  if (answer != found_replaced) {
    unpack_discard_archive(*job);
    return;
  }
  std::unique_ptr<unpack_job> again =
      make_unpack_job(in, job->file, job->archive, job->destination, job->want);
  again->source = job->source;
  again->retry = job->retry;
  again->accept = job->found;
  again->here = job->here;
  unpack_hand_over(in, std::move(again), job->here);
}

// The results that are in, in the order their archives were handed over.
void take_results(install_state& in) {
  while (unpack_next_result(in)) {
    std::unique_ptr<unpack_job> job = unpack_pop(in);
    const unpack_result unpacked = unpack_report(in, *job);
    ++in.results_taken;
    if (unpacked == unpack_changed && in.stg.install_error) {
      // The install has failed: no more questions, and the archive goes.
      unpack_discard_archive(*job);
    } else if (unpacked == unpack_changed) {
      place_over_found(in, std::move(job));
    } else {
      settle_unpacked(in, job->file, job->source, job->retry, unpacked, job->placed);
    }
  }
}

void unpack_from_dvd(install_state& in, int s, int i, const file_version_struct& e,
                     const stream_file& f) {
  // Kept as the fatal alert it always was (source and line as printed).
  if (s != 0)
    __MACIBM_alert(wind_main, "Trying to do a DVD install with multiple streams!",
                   "The shark with the laser on his head is getting very dizzy!", "", "", t_exit,
                   "Installer-f/utils", 498);
  if (waits_for_a_file_above(in, i)) {
    // Unpacked from the disc once the file above it is in place.
    std::unique_ptr<unpack_job> job = make_unpack_job(in, i, f.source, f.destination, e);
    job->here = true;
    unpack_hold(in, std::move(job));
    in.next.finished_kb += e.zip_size;
    in.stg.file_fraction = 1.0f;
    stream_finished(in, s);
    return;
  }
  unpack_outcome done;
  unpack_result unpacked =
      extract_and_delete_file(in, f.source, f.destination, e, i, kNothingThere, &done);
  if (unpacked == unpack_changed && answer_found(in, i) == found_replaced)
    unpacked = extract_and_delete_file(in, f.source, f.destination, e, i, done.found, &done);
  in.next.finished_kb += e.zip_size;
  if (unpacked != unpack_changed)
    settle_unpacked(in, i, f.source, in.retries[s], unpacked, done.placed);
  in.stg.file_fraction = 1.0f;
  stream_finished(in, s);
}

// The file's share of the progress while its bytes arrive.
void note_download_progress(install_state& in, int s, const file_version_struct& e) {
  const down_class* d = http.slots[slot_of(in, s)];
  // Bytes of the file arriving: whatever outage there was is over.
  if (d && d->written > 0 && http_success(d->response_code)) in.retries[s].away_since = -1.0f;
  if (!d) {
    in.stg.file_fraction = 0.0f;
  } else if (d->content_length <= 0) {
    // Unknown yet: nothing counts toward the progress until it is.
    in.stg.file_fraction = -0.01f;
  } else {
    const int64_t percent =
        std::min<int64_t>(100, std::max<int64_t>(0, d->written * 100 / d->content_length));
    in.stg.file_fraction = static_cast<float>(percent) / 100.0f;
    in.next.running_kb += in.stg.file_fraction * e.zip_size;
  }
}

// The finished archive goes to the workers and the stream is free for its
// next file. It first takes a name of its own, since the stream's next
// download takes the stream's; without workers, or when it cannot be
// renamed, it is unpacked here and now under the stream's name.
void hand_over(install_state& in, int s, int i, const file_version_struct& e,
               const stream_file& f) {
  in.archive_held[s] = 0;
  std::string archive = temp_archive(in, s);
  // A job that waits for a file above it needs a name of its own as well.
  const bool waits = waits_for_a_file_above(in, i);
  const bool renamed = (THREAD_worker_count() > 0 || waits) &&
                       rename(archive.c_str(), handed_over_archive(in, i).c_str()) == 0;
  if (renamed) archive = handed_over_archive(in, i);
  std::unique_ptr<unpack_job> job = make_unpack_job(in, i, archive, f.destination, e);
  job->source = f.source;
  job->retry = in.retries[s];
  job->here = !renamed || THREAD_worker_count() == 0;
  if (waits && renamed) {
    unpack_hold(in, std::move(job));
  } else {
    const bool here = job->here;
    unpack_hand_over(in, std::move(job), here);
  }
  // Downloaded: the rate and the figures count it from now on.
  in.next.finished_kb += e.zip_size;
  stream_finished(in, s);
}

// Downloads the archive and hands it over. True once handed over; false
// while the stream waits (a pause before a retry, bytes still arriving, the
// workers full), after a failed download (retried by this stream), or when
// it has no mirror left to ask and has given the file up.
bool download(install_state& in, int s, int i, const file_version_struct& e, const stream_file& f) {
  if (in.archive_held[s]) {
    if (!unpack_room(in)) return false;
    hand_over(in, s, i, e, f);
    return true;
  }
  if (xtim.act_time < in.retries[s].resume_at) return false;  // pausing before a retry
  if (!f.mirror_ok) {
    give_up(in, f.source);
    stream_finished(in, s);
    return false;
  }
  const int64_t cap = static_cast<int64_t>(e.zip_size) * 1000 + 1000;
  download_failure failure = failure_refused;
  const net_result r = net_check_capped(slot_of(in, s), in.server_name[f.mirror], f.remote,
                                        temp_archive(in, s), cap, &failure);
  if (r == net_busy) {
    note_download_progress(in, s, e);
    return false;
  }
  if (r != net_finished && failure == failure_local) {
    temp_folder_failed(in, http.final_file_error[slot_of(in, s)]);
    stream_finished(in, s);
    return false;
  }
  if (r != net_finished) {
    in.stg.download_error = 1;
    if (!plan_retry(in, in.retries[s], f.source, failure)) {
      give_up(in, f.source);
      stream_finished(in, s);
    }
    return false;
  }
  // The archive waits under the stream's name until the workers have room.
  in.archive_held[s] = 1;
  if (!unpack_room(in)) return false;
  hand_over(in, s, i, e, f);
  return true;
}

// One step of stream s on file i. True when it handed an archive over and
// takes its next file.
bool step_stream(install_state& in, int s, int i) {
  file_version_struct& e = in.sim_info[i].back();
  in.next.stream_takes_next[s] = 0;
  const stream_file f = locate_file(in, s, e);
  in.crnt_file_path = f.source;
  in.crnt_file_name = leaf_of(f.source);

  // Kept as the fatal alert it always was (source and line as printed).
  if (path_has_no_file(e.path))
    __MACIBM_alert(wind_main, "I am working through the list and found a path that has no file!",
                   "This is impossible to download or delete!", "It is:", e.path.c_str(), t_exit,
                   "Installer-f/utils", 461);
  if (settled_without_download(in, s, i, e, f.destination)) return false;

  in.stg.file_action = action_downloading;
  if (!in.is_net) {
    unpack_from_dvd(in, s, i, e, f);
    return false;
  }
  return download(in, s, i, e, f);
}

// The stream's next file: one whose archive proved bad first, with its
// tries so far, else the next of the manifest.
void take_next(install_state& in, int s, int n) {
  if (!in.again.empty()) {
    in.next.stream_file[s] = in.again.front().file;
    in.retries[s] = in.again.front().retry;
    in.again.pop_front();
    return;
  }
  in.next.stream_file[s] = std::max(0, std::min(in.next.next_file, n));
  in.next.next_file = std::min(in.next.stream_file[s] + 1, n);
}

}  // namespace

// [SECTION] Finishing

namespace {

bool fixed_folder(const install_state& in, const std::string& folder) {
  if (folder.size() <= in.dest_dir_path.size()) return true;  // never the destination itself
  std::string rel = folder.substr(in.dest_dir_path.size());
  while (!rel.empty() && rel.back() == '/') rel.pop_back();
  for (const char* f : kFixedFolders)
    if (rel == f) return true;
  return false;
}

bool is_link(const std::string& folder) {
  std::string p = app_path + folder;
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  struct stat st;
  return lstat(p.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

// Folders that deletions emptied go, deepest first; a folder with anything
// left in it stays (a name starting with "." lists as empty but makes the
// removal fail), and so do the fixed folders and anything reached through a
// link.
void clean_up(install_state& in) {
  std::vector<std::string> names;
  std::vector<int> kinds;
  for (auto it = in.deleted_files.rbegin(); it != in.deleted_files.rend(); ++it) {
    const std::string& folder = *it;
    if (fixed_folder(in, folder) || is_link(folder) || !inside_dest(in, folder)) continue;
    if (opensave_getitems(folder, list_every_kind, names, kinds) != 0) continue;
    std::string rel;
    if (!dest_rel(in, folder, &rel)) continue;
    int r = beneath_unlink(dest_root(in), rel, walk_no_links);
    if (in.stg.log_actions)
      xer << "cleanup: DELETING  file " << folder << ", with result=" << r << ".\n";
  }
}

// Checked after the deletions and the clean-up, so that nothing they did
// passes for a complete install.
bool wanted_files_in_place(const install_state& in) {
  std::string first;
  size_t missing = 0;
  for (size_t i = 0; i < in.placed.size() && i < in.sim_info.size(); ++i) {
    if (!in.placed[i].wanted || still_placed(in, static_cast<int>(i))) continue;
    const std::string local = local_path_of(in, in.sim_info[i].back());
    xer << "Not in place at the end of the install: " << local << ".\n";
    if (missing++ == 0) first = local;
  }
  if (missing == 0) return true;
  const std::string line2 =
      "File: " + first + (missing > 1 ? " and " + std::to_string(missing - 1) + " more" : "");
  MACIBM_alert(wind_main,
               "The installation is not complete: a file it put in place is missing or changed.",
               line2.c_str(), "Install again to put it back.", "", t_alert);
  return false;
}

// A link is judged when it is put in place, against the tree as it stood;
// a later link of the same run (or one of an earlier run that this one
// completes into a chain) can make it lead outside after all. Judged all
// again against the tree as the run leaves it, however it ended, before any
// goes, so that the verdict is the same whichever was placed first: those
// that lead outside are removed (a complete install then misses them).
// Only the places of the manifest's files that are fetched or current
// count: a copy the user kept stays theirs.
void remove_links_leading_out(install_state& in) {
  const std::string root = dest_root(in);
  std::vector<std::string> out;
  for (const file_history_struct& h : in.sim_info) {
    const file_version_struct& e = h.back();
    std::string rel, text;
    struct stat st;
    if (!(e.want_download || e.same) || e.sig_want == "GONE" ||
        !dest_rel(in, local_path_of(in, e), &rel) ||
        beneath_lstat(root, rel, walk_links_inside, &st) != 0 || !S_ISLNK(st.st_mode) ||
        beneath_read_link(root, rel, &text) != 0)
      continue;
    if (!beneath_link_stays_inside(root, rel.substr(0, rel.rfind('/') + 1), text))
      out.push_back(rel);
  }
  for (const std::string& rel : out) {
    const int r = beneath_unlink(root, rel, walk_links_inside);
    xer << "Removing the link " << in.dest_dir_path << rel
        << ": with the install's other links in place it leads out of the destination (result=" << r
        << ").\n";
  }
}

void rename_installation(install_state& in) {
  if (!in.this_install_has_exes || !in.stg.rename_folder) return;
  if (!usable_folder_name(in.install_name)) {
    xer << "Not renaming the installation: \"" << in.install_name << "\" is no folder name.\n";
    return;
  }
  std::string folder = in.dest_dir_path;
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  size_t slash = folder.rfind('/');
  if (slash == std::string::npos) return;
  const std::string parent = folder.substr(0, slash + 1), leaf = folder.substr(slash + 1);
  if (leaf.empty() || leaf == in.install_name) return;
  // Whatever has the name already stays, and the installation keeps its
  // folder.
  const int r = rename_file(parent, leaf, in.install_name);
  if (r == 0)
    in.dest_dir_path = parent + in.install_name + "/";
  else
    xer << "Not renaming the installation to \"" << in.install_name << "\": " << error_str(r)
        << ".\n";
}

}  // namespace

int grab_files(install_state& in) {
  const int n = static_cast<int>(in.sim_info.size());
  in.next.running_kb = 0.0f;
  take_results(in);
  for (int s = 0; s < in.streams(); ++s) {
    // Once the run has failed no stream takes up more work: the install ends.
    if (!in.next.stream_on[s] || in.stg.install_error) continue;
    if (in.next.stream_takes_next[s]) take_next(in, s, n);
    // A stream that handed its archive over asks for its next file in the
    // same step, so that its connection never idles for a frame.
    if (in.next.stream_file[s] < n && step_stream(in, s, in.next.stream_file[s]) &&
        in.next.stream_on[s] && in.next.stream_takes_next[s]) {
      take_next(in, s, n);
      if (in.next.stream_file[s] < n) step_stream(in, s, in.next.stream_file[s]);
    }
  }
  take_results(in);
  if (unpack_pending(in) || !in.again.empty()) return in.stg.install_error;
  for (int s = 0; s < in.streams(); ++s)
    if (in.next.stream_on[s] && in.next.stream_file[s] < n) return in.stg.install_error;

  clean_up(in);
  if (in.stg.install_error) return 1;
  remove_links_leading_out(in);
  if (!wanted_files_in_place(in)) {
    in.stg.install_error = 1;
    return 1;
  }
  in.next.all_done = 1;
  rename_installation(in);
  return 1;
}

// [SECTION] Driving an install

void reset_streams(install_state& in) {
  // The workers finish what they hold (a file they place is a checked one)
  // and the archives still waiting for them go.
  unpack_drop_all(in);
  in.again.clear();
  for (int s = 0; s < in.streams(); ++s) {
    in.archive_held[s] = 0;
    http.net_abandon(slot_of(in, s));
    if (!in.temp_path.empty()) delete_file(temp_archive(in, s));
  }
  in.next.next_file = 0;
  const int streams = std::min(in.is_net ? 2 : 1, in.streams());
  for (int s = 0; s < kStreams; ++s) {
    in.next.stream_on[s] = in.next.stream_takes_next[s] = s < streams ? 1 : 0;
    in.next.stream_file[s] = 0;
  }
  in.next.reset_time = xtim.act_time;
  in.next.running_kb = in.next.finished_kb = in.next.installed_kb = 0.0f;
  for (stream_retry& st : in.retries) st = stream_retry();
  in.placed.clear();
}

void install_prepare(install_state& in) {
  reset_streams(in);
  in.stg.install_error = 0;
  in.stg.download_error = 0;
  in.next.all_done = 0;
}

void install_start(install_state& in) {
  unpack_sweep_leftovers(in);
  find_files_above(in);
  in.stg.install_phase = phase_installing;
}

void install_cancelled(install_state& in) { in.stg.install_phase = phase_idle; }

void install_stop(install_state& in) {
  const bool running = in.stg.install_phase == phase_installing;
  dir_examine_cancel(in);
  reset_streams(in);
  if (running) remove_links_leading_out(in);
  in.stg.install_phase = phase_ended;
}

void install_destination_changed(install_state& in) {
  reset_streams(in);
  in.stg.install_error = 0;
  in.stg.download_error = 0;
  in.stg.install_phase = phase_idle;
  in.next.all_done = 0;
  dir_examine_cancel(in);
  if (in.stg.dir_state == dir_read) in.stg.dir_state = dir_fetched;
}

int set_download_os(install_state& in, int os) {
  if (in.stg.install_phase == phase_installing || os < platform_mac || os > platform_linux)
    return 0;
  if (os == in.stg.download_os) return 1;
  in.stg.download_os = os;
  // The platform's executables decide the rename: the new reading tells.
  in.this_install_has_exes = 0;
  dir_examine_cancel(in);
  if (in.stg.dir_state == dir_read) in.stg.dir_state = dir_fetched;
  return 1;
}

namespace {

// Changes whenever a stream moved: a file finished, a result came back, or
// bytes went either way.
uint64_t activity(const install_state& in) {
  uint64_t token = in.finished_files * 1000003u + in.results_taken * 998244353u;
  for (int slot = slot_of(in, 0); slot < slot_of(in, in.streams()); ++slot)
    if (const down_class* d = http.slots[slot])
      token += static_cast<uint64_t>(d->written) + d->send_buf.size() * 7 +
               (d->sock ? static_cast<uint64_t>(d->sock->mStatus) * 131 : 0) +
               (d->headers_done ? 17 : 0) + reinterpret_cast<uintptr_t>(d);
  return token;
}

// Sleeps until a stream's socket or a finished unpacking is ready, or the
// time is up.
void wait_for_work(const install_state& in, uint64_t until) {
  uint64_t now = xtim_class::microsecs();
  if (now >= until) return;
  pollfd fds[kInstallReadyFds];
  const int count = install_ready_fds(in, fds, kInstallReadyFds);
  const int ms = static_cast<int>((until - now + 999) / 1000);
  poll(count ? fds : nullptr, static_cast<nfds_t>(count), ms);
}

}  // namespace

int install_ready_fds(const install_state& in, pollfd* fds, int room) {
  int count = 0;
  for (int slot = slot_of(in, 0); slot < slot_of(in, in.streams()) && count < room; ++slot) {
    const down_class* d = http.slots[slot];
    if (!d || !d->sock || d->sock->mSocket < 0) continue;
    const bool reading = d->send_buf.empty() && d->sock->mStatus == PCSBSocket::StatusConnected;
    fds[count++] = {d->sock->mSocket, static_cast<short>(reading ? POLLIN : POLLOUT), 0};
  }
  const int ended = unpack_ended_fd(in);
  if (ended >= 0 && count < room) fds[count++] = {ended, POLLIN, 0};
  return count;
}

install_step_result install_frame_step(install_state& in, double seconds) {
  const uint64_t until = xtim_class::microsecs() + static_cast<uint64_t>(seconds * 1e6);
  while (in.stg.install_phase == phase_installing) {
    const uint64_t before = activity(in);
    if (grab_files(in)) {
      in.stg.install_phase = phase_ended;
      const bool failed = in.stg.install_error != 0;
      reset_streams(in);
      // Once the jobs still out have placed what they hold.
      if (failed) remove_links_leading_out(in);
      return in.stg.install_error ? install_failed : install_complete;
    }
    if (xtim_class::microsecs() >= until) break;
    if (activity(in) == before) wait_for_work(in, until);
    if (xtim_class::microsecs() >= until) break;
  }
  return install_running;
}

// [SECTION] Read-outs

install_figures install_progress(const install_state& in, float tot_down_req, float tot_disk_req) {
  auto finite_or = [](float v, float fallback) { return std::isfinite(v) ? v : fallback; };
  install_figures f;
  f.streams = streams_on(in);
  f.downloaded_kb = std::max(0.0f, finite_or(in.next.finished_kb + in.next.running_kb, 0.0f));
  const float elapsed = std::max(finite_or(xtim.act_time - in.next.reset_time, 1.0f), 1.0f);
  f.rate = std::max(0.0f, finite_or(f.downloaded_kb / elapsed, 0.0f));
  const float remaining = std::max(0.0f, finite_or(tot_down_req - f.downloaded_kb, 0.0f));
  f.seconds_left = f.rate > 0.0f ? finite_or(remaining / f.rate, -1.0f) : -1.0f;
  // Nothing to install (only deletions): full as soon as it starts.
  const float fraction = tot_disk_req > 0.0f ? in.next.installed_kb / tot_disk_req : 1.0f;
  f.fraction = std::min(1.0f, std::max(0.0f, finite_or(fraction, 0.0f)));
  return f;
}

float smooth_progress(float ratio, float target, float frame_period) {
  float k = 5.0f * frame_period;
  if (!std::isfinite(k)) k = 0.0f;
  k = std::min(1.0f, std::max(0.0f, k));
  if (!std::isfinite(ratio)) ratio = 0.0f;
  if (!std::isfinite(target)) target = ratio;
  const float r = (1.0f - k) * ratio + k * target;
  return std::min(1.0f, std::max(0.0f, r));
}

std::string time_left_text(float seconds) {
  if (!std::isfinite(seconds) || seconds < 0.0f) return "";
  // Past a few centuries the hours no longer fit an int; nobody waits that long.
  const double s = std::min<double>(seconds, 1e12);
  if (s < 120) return std::to_string(static_cast<int64_t>(s)) + " seconds";
  if (s < 7200) return std::to_string(static_cast<int64_t>(s / 60)) + " minutes";
  return std::to_string(static_cast<int64_t>(s / 3600)) + " hours";
}

int file_percent(const install_state& in) {
  const float f = in.stg.file_fraction;
  if (!std::isfinite(f) || f <= 0.0f) return 0;
  if (f >= 1.0f) return 100;
  return static_cast<int>(f * 100.0f);
}

mirror_wait install_waiting(const install_state& in) {
  mirror_wait w = {-1.0f, 0.0f};
  const int n = static_cast<int>(in.sim_info.size());
  for (int s = 0; s < in.streams(); ++s) {
    const stream_retry& st = in.retries[s];
    if (!in.next.stream_on[s] || in.next.stream_file[s] >= n || st.away_since < 0) continue;
    const float waited = std::max(0.0f, xtim.act_time - st.away_since);
    if (waited <= w.waited) continue;
    w.waited = waited;
    w.retry_in = std::max(0.0f, st.resume_at - xtim.act_time);
  }
  return w;
}
