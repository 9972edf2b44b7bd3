// The transfer engine driven frame by frame without a window, against sets
// made by a test script and served by nginx on loopback: installs checked
// with md5sum, failing and hostile mirrors, a full disk, streams and figures.
//
// Contents
//   [SECTION] Install sets
//   [SECTION] Installs and updates
//   [SECTION] Mirrors that fail
//   [SECTION] A hostile mirror
//   [SECTION] Releases that change the shape of the tree
//   [SECTION] Beside the user's own files
//   [SECTION] Failing in the middle
//   [SECTION] Without a network
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "core/clock.h"
#include "core/globals.h"
#include "core/threads/threads.h"
#include "installer/screen.h"
#include "installer/update/decisions.h"
#include "installer/update/folders.h"
#include "installer/update/install.h"
#include "installer/update/manifest.h"
#include "installer/update/transfer.h"
#include "installer/update/unpack.h"
#include "tests/installer/update/engine_fixture.h"
#include "tests/net/peers.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_support.h"

using testing_support::read_file;
using testing_support::run_command;
using testing_support::write_file;

// Loopback addresses (each case runs as its own process, beside the rest of
// the suite): 127.0.12.1 installs and updates, .10-.12 unpacking on workers, .2-.3 failing mirrors,
// .4-.5 a mirror that dies, .6 the full disk, .7 the hostile mirror, .8 retries that run out, .9
// renames, .31-.36 releases that change the tree's shape and what a run places, .171 a mirror that
// comes back, .172-.173 nothing listening, .174-.175 streams apart, .176 a server in trouble;
// 127.0.23.1-.2 two installs side by side; 127.0.28.1-.6 failing in the middle of an install,
// .21-.24 beside the user's own files.
namespace {

// [SECTION] Install sets

// One file of a set, as the script makes it: a text, pseudo-random bytes or
// a link, with the manifest fields the tests vary.
struct set_file {
  std::string path;
  std::string text;  // the bytes, unless size is given
  size_t size = 0;
  int seed = 1;
  std::string link;  // a link with this text instead
  int mode = 0644;
  int platform = 0;
  std::vector<std::string> older;  // texts of the history's older lines
  bool gone = false;
  std::vector<std::pair<std::string, std::string>> entries;  // a hand-made archive

  set_file(std::string p, std::string t) : path(std::move(p)), text(std::move(t)) {}
  set_file& noise(size_t bytes, int s) {
    size = bytes;
    seed = s;
    return *this;
  }
  set_file& as_link(std::string to) {
    link = std::move(to);
    return *this;
  }
  set_file& with_mode(int m) {
    mode = m;
    return *this;
  }
  set_file& on(int p) {
    platform = p;
    return *this;
  }
  set_file& after(std::vector<std::string> texts) {
    older = std::move(texts);
    return *this;
  }
  set_file& now_gone() {
    gone = true;
    return *this;
  }
  set_file& holding(std::vector<std::pair<std::string, std::string>> e) {
    entries = std::move(e);
    return *this;
  }
};

set_file noise(const std::string& path, size_t bytes, int seed) {
  return set_file(path, "").noise(bytes, seed);
}
set_file link(const std::string& path, const std::string& to) {
  return set_file(path, "").as_link(to);
}

// Holds every worker of the pool on a call of its own until opened, so that
// the test, not the machine's load, decides when the archives handed over
// begin to unpack. The calls queue ahead of any job handed over after it, and
// no worker is free for a job until it opens (at the latest when it goes).
class worker_gate {
 public:
  // longest: the gate opens by itself after that long at the latest.
  explicit worker_gate(std::chrono::seconds longest = std::chrono::seconds(90))
      : opens_at_(std::chrono::steady_clock::now() + longest) {
    for (int k = 0; k < THREAD_worker_count(); ++k) calls_.push_back(THREAD_run_async(hold, this));
  }
  ~worker_gate() { open(); }
  worker_gate(const worker_gate&) = delete;
  worker_gate& operator=(const worker_gate&) = delete;

  void open() {
    open_.store(true);
    THREAD_finish_calls(&calls_);
  }

 private:
  static void* hold(void* arg) {
    const auto* gate = static_cast<const worker_gate*>(arg);
    // A test that never opens it fails on its own; the pool is not held
    // past that.
    while (!gate->open_.load() && std::chrono::steady_clock::now() < gate->opens_at_) UTL_sleep(1);
    return nullptr;
  }

  const std::chrono::steady_clock::time_point opens_at_;
  std::atomic<bool> open_{false};
  std::vector<THREAD_call*> calls_;
};

std::string json_string(const std::string& s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    if (c == '"' || c == '\\') out += '\\';
    if (c < 0x20) {
      char buf[8];
      snprintf(buf, sizeof buf, "\\u%04x", c);
      out += buf;
      continue;
    }
    out += static_cast<char>(c);
  }
  return out + "\"";
}

// The answers the user gives to the questions of one test, in turn (keep
// once they run out), and the places asked about.
struct question_log {
  std::deque<select_answer> answers;
  std::vector<std::string> asked;
};
question_log g_questions;

select_answer answer_in_turn(const std::string& local_path, int) {
  g_questions.asked.push_back(local_path);
  if (g_questions.answers.empty()) return answer_keep;
  const select_answer a = g_questions.answers.front();
  g_questions.answers.pop_front();
  return a;
}

class Engine : public testing_support::TempFolderTest {
 protected:
  Engine() : TempFolderTest("engine", with_log) {}

  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(TempFolderTest::SetUp());
    // As the program runs: archives are unpacked on the worker pool.
    THREAD_init();
    THREAD_make_workers();
    mkdir((dir + "tmp/").c_str(), 0700);
    run_command("mkdir -p '" + dir + "root/Nimbrel/'");
    engine_tests::engine_defaults(in, dir + "root/Nimbrel/", dir + "tmp/");
    stg.log_actions = 1;
  }

  void TearDown() override {
    reset_streams(in);
    THREAD_shutdown();
    g_questions = question_log();
    mirrors_.clear();
    umount2((dir + "disk").c_str(), MNT_DETACH);  // a failing case's small disk, if any
    TempFolderTest::TearDown();
  }

  // Writes the set into dir + "<mirror>/www/<folder>" and its manifest into
  // dir + "directory.txt", through the test script.
  void make_set(const std::vector<set_file>& files, const std::string& mirror = "m1",
                const std::string& folder = "v1") {
    std::string plan = "{\"set\": " + json_string(dir + mirror + "/www/" + folder) +
                       ", \"manifest\": " + json_string(dir + "directory.txt") +
                       ", \"expect\": " + json_string(dir + "expect") + ", \"files\": [";
    for (size_t i = 0; i < files.size(); ++i) {
      const set_file& f = files[i];
      plan += std::string(i ? ", " : "") + "{\"path\": " + json_string(f.path);
      if (!f.link.empty())
        plan += ", \"link\": " + json_string(f.link);
      else if (f.size)
        plan += ", \"size\": " + std::to_string(f.size) + ", \"seed\": " + std::to_string(f.seed);
      else
        plan += ", \"text\": " + json_string(f.text);
      plan += ", \"mode\": " + std::to_string(f.mode) +
              ", \"platform\": " + std::to_string(f.platform) +
              ", \"gone\": " + (f.gone ? "true" : "false");
      plan += ", \"older\": [";
      for (size_t k = 0; k < f.older.size(); ++k)
        plan += std::string(k ? ", " : "") + json_string(f.older[k]);
      plan += "]";
      if (!f.entries.empty()) {
        plan += ", \"entries\": [";
        for (size_t k = 0; k < f.entries.size(); ++k)
          plan += std::string(k ? ", " : "") + "[" + json_string(f.entries[k].first) + ", " +
                  json_string(f.entries[k].second) + "]";
        plan += "]";
      }
      plan += "}";
    }
    plan += "]}";
    write_file(dir + "plan.json", plan);
    int status = 0;
    std::string out =
        run_command("python3 '" + std::string(NIMBREL_SOURCE_DIR) +
                        "/tests/installer/update/make_mirror.py' '" + dir + "plan.json' 2>&1",
                    &status);
    ASSERT_EQ(status, 0) << out;
  }

  // nginx serving dir + "<mirror>/www/" on the address, as mirror `index`
  // of the install (the fixture's when none is given) whose version folder
  // is `folder` ("/v1/", "/slow/v1/").
  void serve(int index, const std::string& mirror, const std::string& addr,
             const std::string& folder = "/v1/", const std::string& rate = "64k",
             install_state* to = nullptr) {
    install_state& target = to ? *to : in;
    const std::string root = dir + mirror + "/";
    mirrors_.push_back(std::make_unique<net_peers::Peer>(
        net_peers::nginx_argv(root, addr, rate, 80, true), addr, 80, root + "nginx.out"));
    ASSERT_TRUE(mirrors_.back()->ready()) << mirrors_.back()->failure();
    target.server_name[index] = addr;
    target.server_path[index] = folder;
    target.stg.server_count = std::max(target.stg.server_count, index + 1);
  }
  void stop_mirror(size_t k) { mirrors_[k].reset(); }
  // Without workers every archive is unpacked as it is handed over, and
  // with one stream they are handed over in the manifest's order: the test
  // decides which file is placed first.
  static void workers(bool on) {
    THREAD_shutdown();
    if (!on) return;
    THREAD_init();
    THREAD_make_workers();
  }
  // Twelve random files of `bytes` on addr, fetched by four streams for
  // workers with room for one job at a time; returns the set.
  std::vector<set_file> serve_for_one_job(const std::string& addr, size_t bytes, int seed) {
    std::vector<set_file> files;
    for (int i = 0; i < 12; ++i)
      files.push_back(noise("All/f" + std::to_string(i), bytes, seed + i));
    make_set(files);
    serve(0, "m1", addr);
    in.unpacks_out_limit = 1;
    stg.stream_count = 4;
    return files;
  }
  // An install; when held, its workers are held on a gate until two jobs
  // are out (or a stream waits for room), so that they run side by side.
  void install_with_jobs_out(bool held) {
    std::unique_ptr<worker_gate> gate;
    size_t most_out = 0;
    install(60, [&] {
      if (held && !gate && unpack_pending(in) == 0) gate = std::make_unique<worker_gate>();
      most_out = std::max(most_out, unpack_pending(in));
      if (unpack_pending(in) >= 2 || a_stream_holds_an_archive()) gate.reset();
    });
    gate.reset();
    if (held) {
      EXPECT_GE(most_out, 2u);
    }
  }
  bool a_stream_holds_an_archive() const {
    for (int s = 0; s < kStreams; ++s)
      if (in.archive_held[s]) return true;
    return false;
  }
  // What the mirror's nginx logged for each request of path, in order:
  // "status body-bytes-sent".
  std::vector<std::string> served(const std::string& mirror, const std::string& path) {
    std::vector<std::string> out;
    std::istringstream lines(read_file(dir + mirror + "/access.log"));
    for (std::string line; std::getline(lines, line);)
      if (line.rfind(path + " ", 0) == 0) out.push_back(line.substr(path.size() + 1));
    return out;
  }

  // What the frame does at INSTALL with the set's manifest, then frames
  // until the install ends.
  int install(double seconds = 60, const std::function<void()>& observe = nullptr) {
    return engine_tests::install_frames(in, dir + "directory.txt", seconds, observe);
  }

  // md5sum over the installed tree against what the script expects (in
  // expect.md5 and expect.links, or the files of another name), and every
  // link's text.
  void expect_tree(const std::string& dest, const std::string& expect = "expect") {
    int status = 0;
    // A set of links only has no sums to check.
    std::string out = run_command("cd '" + dest + "' && ! test -s '" + dir + expect +
                                      ".md5' || md5sum -c --quiet '" + dir + expect + ".md5' 2>&1",
                                  &status);
    EXPECT_EQ(status, 0) << out;
    std::istringstream links(read_file(dir + expect + ".links"));
    for (std::string line; std::getline(links, line);) {
      size_t tab = line.find('\t');
      char text[4096];
      ssize_t n = readlink((dest + line.substr(0, tab)).c_str(), text, sizeof text);
      EXPECT_EQ(n >= 0 ? std::string(text, size_t(n)) : "(not a link)", line.substr(tab + 1))
          << line;
    }
  }

  static int mode_of(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0 ? int(st.st_mode & 07777) : -1;
  }
  static bool exists(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
  }

  std::vector<std::unique_ptr<net_peers::Peer>> mirrors_;
  // The install under test, reporting through the program's block.
  install_state in{stg};
};

// [SECTION] Installs and updates

TEST_F(Engine, FreshInstallThenAnUpdateWithGoneLines) {
  std::vector<set_file> release1 = {
      set_file("All/Resources/a.txt", "alpha"),
      noise("All/Resources/big.bin", 300000, 7),
      link("All/Resources/plugins/link", "../a.txt"),
      set_file("All/Old/one.txt", "one"),
      set_file("All/Old/deeper/two.txt", "two"),
      set_file("All/Keep/three.txt", "three"),
      set_file("All/Output/note.txt", "note"),
      set_file("Linux/nimbrel", "#!/bin/sh\necho hi\n").with_mode(0777).on(3),
      set_file("All/read-only.txt", "mine to change").with_mode(0400),
      set_file("Windows/nimbrel.exe", "MZ").on(2),
  };
  // Enough bytes that the measured rate passes what four streams ask for
  // while most files are still to come, however loaded the machine is.
  for (int i = 0; i < 12; ++i)
    release1.push_back(noise("All/Many/f" + std::to_string(i), 200000 + 1000 * size_t(i), i));
  make_set(release1);
  serve(0, "m1", "127.0.12.1");
  int most_streams = 0;
  install(60, [&] { most_streams = std::max(most_streams, install_progress(in, 1, 1).streams); });
  EXPECT_EQ(stg.install_error, 0);
  EXPECT_EQ(in.next.all_done, 1);
  expect_tree(in.dest_dir_path);
  EXPECT_FALSE(exists(in.dest_dir_path + "nimbrel.exe"));  // another platform
  EXPECT_EQ(mode_of(in.dest_dir_path + "nimbrel"), 0755);  // executable, never group-writable
  EXPECT_EQ(mode_of(in.dest_dir_path + "read-only.txt"), 0600);
  EXPECT_EQ(most_streams, 4);  // loopback is fast: the count grows to four
  EXPECT_EQ(run_command("ls -A '" + in.temp_path + "'"), "");  // no archive left behind
  EXPECT_NE(log().find("EXPANDING file " + in.dest_dir_path + "Resources/a.txt, with result=0.\n"),
            std::string::npos);

  // The user keeps a dotfile in Keep/. Release 2 drops Old/, Keep/three.txt
  // and the note, changes a.txt and adds a file.
  write_file(in.dest_dir_path + "Keep/.hidden", "x");
  std::vector<set_file> release2 = {
      set_file("All/Resources/a.txt", "alpha 2").after({"alpha"}),
      set_file("All/Resources/new.txt", "new"),
      set_file("All/Old/one.txt", "").after({"one"}).now_gone(),
      set_file("All/Old/deeper/two.txt", "").after({"two"}).now_gone(),
      set_file("All/Keep/three.txt", "").after({"three"}).now_gone(),
      set_file("All/Output/note.txt", "").after({"note"}).now_gone(),
  };
  run_command("rm -rf '" + dir + "m1/www/v1'");
  make_set(release2);
  install();
  EXPECT_EQ(stg.install_error, 0);
  expect_tree(in.dest_dir_path);
  EXPECT_FALSE(exists(in.dest_dir_path + "Old"));  // emptied folders go, deepest first
  EXPECT_TRUE(exists(in.dest_dir_path + "Keep/.hidden"));
  EXPECT_FALSE(exists(in.dest_dir_path + "Keep/three.txt"));
  EXPECT_TRUE(exists(in.dest_dir_path + "Output"));  // a fixed folder stays even when empty
  EXPECT_TRUE(
      exists(in.dest_dir_path + "Many/f3"));  // not in release 2: not the engine's to remove
  const std::string text = log();
  EXPECT_NE(
      text.find("cleanup: DELETING  file " + in.dest_dir_path + "Old/deeper/, with result=0.\n"),
      std::string::npos);
  EXPECT_LT(text.find("cleanup: DELETING  file " + in.dest_dir_path + "Old/deeper/"),
            text.find("cleanup: DELETING  file " + in.dest_dir_path + "Old/,"));
  EXPECT_NE(text.find("cleanup: DELETING  file " + in.dest_dir_path + "Keep/, with result=39.\n"),
            std::string::npos);  // ENOTEMPTY: the dotfile
  EXPECT_EQ(text.find("cleanup: DELETING  file " + in.dest_dir_path + "Output/"),
            std::string::npos);
}

// The workers end the archives in whatever order they like (a large file
// first, small ones after it, one stream handing them over in the
// manifest's order): the install's log, figures and records read exactly as
// when one thread unpacks each archive in turn.
TEST_F(Engine, TsanUnpackingOnWorkersReadsAsOneThreadDoingItInOrder) {
  std::vector<set_file> files = {noise("All/big.bin", 6000000, 3),
                                 set_file("All/gone.txt", "").after({"old"}).now_gone()};
  for (int i = 0; i < 16; ++i)
    files.push_back(i % 2 ? noise("All/d" + std::to_string(i % 3) + "/f" + std::to_string(i),
                                  1000 + 700 * size_t(i), i)
                          : set_file("All/d" + std::to_string(i % 3) + "/t" + std::to_string(i),
                                     std::string(500 + 100 * size_t(i), 'a' + char(i))));
  make_set(files);
  serve(0, "m1", "127.0.12.10");
  // The lines an install logs for its files, with each archive's name (the
  // stream's, or the one it waits under for a worker) made one.
  auto file_lines = [&](const std::string& text) {
    std::string out;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
      if (line.rfind("cleanup:", 0) == 0 || line.rfind("now we want to nuke", 0) == 0) continue;
      const size_t tmp = line.find(in.temp_path);
      if (tmp != std::string::npos) line.replace(tmp, line.find(',', tmp) - tmp, "ARCHIVE");
      out += line + "\n";
    }
    return out;
  };
  struct run {
    std::string lines;
    float finished_kb, installed_kb;
    std::vector<std::string> sums;
  };
  auto install_once = [&](bool workers) {
    if (!workers) THREAD_shutdown();
    run_command("rm -rf '" + in.dest_dir_path + "' && mkdir -p '" + in.dest_dir_path + "'");
    write_file(in.dest_dir_path + "gone.txt", "old");
    stg.stream_count = 1;
    const size_t from = log().size();
    size_t most_out = 0;
    // The workers wait until a second archive is out, so that later ones are
    // handed over while earlier ones are still unpacking.
    std::unique_ptr<worker_gate> gate;
    bool started = false;
    install(60, [&] {
      if (!started) gate = std::make_unique<worker_gate>();
      started = true;
      most_out = std::max(most_out, unpack_pending(in));
      if (most_out > 1) gate.reset();
    });
    EXPECT_EQ(most_out > 1, workers);
    EXPECT_EQ(stg.install_error, 0);
    EXPECT_EQ(in.next.all_done, 1);
    expect_tree(in.dest_dir_path);
    run r = {file_lines(log().substr(from)), in.next.finished_kb, in.next.installed_kb, {}};
    for (const file_history_struct& h : in.sim_info) r.sums.push_back(h.back().sig_have);
    return r;
  };
  const run alone = install_once(false);
  THREAD_init();
  THREAD_make_workers();
  const run pooled = install_once(true);
  EXPECT_NE(alone.lines.find("EXPANDING file " + in.dest_dir_path + "big.bin, with result=0."),
            std::string::npos)
      << alone.lines;
  EXPECT_EQ(pooled.lines, alone.lines);
  EXPECT_EQ(pooled.finished_kb, alone.finished_kb);
  EXPECT_EQ(pooled.installed_kb, alone.installed_kb);
  EXPECT_EQ(pooled.sums, alone.sums);
  EXPECT_EQ(run_command("ls -A '" + in.temp_path + "'"), "");  // no archive left behind
}

// Workers that cannot keep up hold the streams back: a finished archive
// waits under its stream's name until one is out of the way, and nothing is
// lost or unpacked twice.
TEST_F(Engine, FullWorkersHoldTheStreamsBack) {
  const std::vector<set_file> files = serve_for_one_job("127.0.12.11", 400000, 60);
  size_t most_out = 0;
  bool held = false;
  // The workers wait until a stream holds a finished archive for them.
  std::unique_ptr<worker_gate> gate;
  install(60, [&] {
    if (!held && !gate) gate = std::make_unique<worker_gate>();
    most_out = std::max(most_out, unpack_pending(in));
    held |= a_stream_holds_an_archive();
    if (held) gate.reset();
  });
  EXPECT_EQ(stg.install_error, 0);
  EXPECT_EQ(in.next.all_done, 1);
  expect_tree(in.dest_dir_path);
  EXPECT_EQ(most_out, 1u);
  EXPECT_TRUE(held) << "no stream waited for the workers";
  const std::string text = log();
  size_t expanded = 0;
  for (size_t at = text.find("EXPANDING file"); at != std::string::npos;
       at = text.find("EXPANDING file", at + 1))
    ++expanded;
  EXPECT_EQ(expanded, files.size());
  EXPECT_EQ(run_command("ls -A '" + in.temp_path + "'"), "");
}

// QUIT while archives are out with the workers and a stream holds one for
// them: the jobs out finish, nothing is left in the temporary folder or
// half-written beneath the destination.
TEST_F(Engine, AStopWithArchivesOutLeavesNoArchiveAndNoHalfFile) {
  serve_for_one_job("127.0.12.12", 900000, 80);
  bool stopped = false;
  // The workers wait until a stream holds a finished archive for them; they
  // are let go just before the stop, which waits for the jobs out.
  std::unique_ptr<worker_gate> gate;
  install(60, [&] {
    if (!stopped && !gate) gate = std::make_unique<worker_gate>();
    if (!stopped && a_stream_holds_an_archive() && unpack_pending(in) > 0) {
      gate.reset();
      install_stop(in);
      stopped = true;
    }
  });
  ASSERT_TRUE(stopped) << "no stream ever waited for the workers";
  EXPECT_EQ(in.next.all_done, 0);
  EXPECT_EQ(unpack_pending(in), 0u);
  EXPECT_EQ(run_command("ls -A '" + in.temp_path + "'"), "");
  EXPECT_EQ(run_command("find '" + in.dest_dir_path + "' -name '.nimbrel-unpacking*'"), "");
  int status = 0;
  const std::string out = run_command("cd '" + in.dest_dir_path + "' && md5sum -c --quiet " +
                                          "--ignore-missing '" + dir + "expect.md5' 2>&1",
                                      &status);
  EXPECT_EQ(status, 0) << out;
}

TEST_F(Engine, RenameFollowsTheExecutablesThePreferenceAndASafeName) {
  make_set({set_file("All/a.txt", "a"), set_file("Linux/prog", "p").with_mode(0755).on(3)});
  serve(0, "m1", "127.0.12.9");
  struct {
    int rename;
    std::string name;
    bool renamed;
  } cases[] = {{0, "Nimbrel 9", false},
               {1, "../escape", false},
               {1, "Not Yet Scanned", false},
               {1, "Nimbrel 9", true}};
  for (const auto& c : cases) {
    in.dest_dir_path = dir + "root/Nimbrel/";
    run_command("rm -rf '" + dir + "root' && mkdir -p '" + in.dest_dir_path + "'");
    stg.rename_folder = c.rename;
    in.install_name = c.name;
    in.this_install_has_exes = 0;
    install();
    EXPECT_EQ(in.next.all_done, 1);
    EXPECT_EQ(in.dest_dir_path, dir + "root/" + (c.renamed ? c.name : "Nimbrel") + "/") << c.name;
    expect_tree(in.dest_dir_path);
    EXPECT_EQ(run_command("ls '" + dir + "root'"), (c.renamed ? c.name : "Nimbrel") + "\n");
  }
  // Nothing platform-specific changed: no rename.
  in.dest_dir_path = dir + "root/Nimbrel 9/";
  run_command("printf a > '" + in.dest_dir_path + "a.txt' && rm '" + in.dest_dir_path + "prog'");
  in.this_install_has_exes = 0;  // a new run
  make_set({set_file("All/a.txt", "a"), set_file("All/b.txt", "b")});
  in.install_name = "Nimbrel 10";
  install();
  EXPECT_EQ(in.dest_dir_path, dir + "root/Nimbrel 9/");
}

// Two installs driven side by side, frame by frame, each with its own
// destination, temporary folder, mirror and download slots: neither takes
// the other's files, archives or transfers, and both end complete.
TEST_F(Engine, TwoInstallsSideBySideEachEndComplete) {
  const struct {
    const char* mirror;
    const char* addr;
    int seed;
  } sets[] = {{"m1", "127.0.23.1", 100}, {"m2", "127.0.23.2", 200}};
  for (const auto& set : sets) {
    std::vector<set_file> files = {set_file("All/which.txt", set.mirror),
                                   set_file("Linux/prog", set.mirror).with_mode(0755).on(3)};
    // The same paths in both, with other bytes.
    for (int i = 0; i < 6; ++i)
      files.push_back(noise("All/f" + std::to_string(i), 120000, set.seed + i));
    // Sent slowly (past a second's worth, a second more each): each install
    // is still under way while the other runs.
    ASSERT_NO_FATAL_FAILURE(make_set(files, set.mirror, "slow/v1"));
    const std::string name = set.mirror;
    run_command("cd '" + dir + "' && mv directory.txt " + name + ".txt && mv expect.md5 " + name +
                ".md5 && mv expect.links " + name + ".links");
  }

  // The fixture's install, and a second one reporting through a block of
  // its own; two streams each, on slots apart.
  stg_block other_block;
  install_state other(other_block);
  engine_tests::engine_defaults(other, dir + "root2/Nimbrel/", dir + "tmp2/");
  run_command("mkdir -p '" + other.dest_dir_path + "' '" + other.temp_path + "'");
  in.first_slot = kFirstStreamSlot;
  in.slot_count = 2;
  other.first_slot = kFirstStreamSlot + 2;
  other.slot_count = 2;
  ASSERT_NO_FATAL_FAILURE(serve(0, "m1", sets[0].addr, "/slow/v1/", "60k"));
  ASSERT_NO_FATAL_FAILURE(serve(0, "m2", sets[1].addr, "/slow/v1/", "60k", &other));
  struct stop_streams {
    install_state& in;
    ~stop_streams() { reset_streams(in); }
  } stop_other{other};

  ASSERT_TRUE(engine_tests::start_install(in, dir + "m1.txt"));
  ASSERT_TRUE(engine_tests::start_install(other, dir + "m2.txt"));
  int most[2] = {0, 0};
  bool both_fetching = false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  install_step_result ended[2] = {install_running, install_running};
  while (
      (in.stg.install_phase == phase_installing || other.stg.install_phase == phase_installing) &&
      std::chrono::steady_clock::now() < deadline) {
    xtim.xtim_update();
    if (in.stg.install_phase == phase_installing) ended[0] = install_frame_step(in, 0.01);
    if (other.stg.install_phase == phase_installing) ended[1] = install_frame_step(other, 0.01);
    most[0] = std::max(most[0], install_progress(in, 1, 1).streams);
    most[1] = std::max(most[1], install_progress(other, 1, 1).streams);
    both_fetching |= (http.slots[stream_slot(0)] || http.slots[stream_slot(1)]) &&
                     (http.slots[stream_slot(2)] || http.slots[stream_slot(3)]);
  }
  for (install_state* each : {&in, &other}) {
    SCOPED_TRACE(each->dest_dir_path);
    EXPECT_EQ(each->stg.install_phase, phase_ended);
    EXPECT_EQ(each->stg.install_error, 0);
    EXPECT_EQ(each->next.all_done, 1);
    EXPECT_EQ(run_command("ls -A '" + each->temp_path + "'"), "");
  }
  EXPECT_EQ(ended[0], install_complete);
  EXPECT_EQ(ended[1], install_complete);
  EXPECT_TRUE(both_fetching) << "the installs ran one after the other";
  EXPECT_EQ(most[0], 2);
  EXPECT_EQ(most[1], 2);
  expect_tree(in.dest_dir_path, "m1");
  expect_tree(other.dest_dir_path, "m2");
  EXPECT_EQ(read_file(in.dest_dir_path + "which.txt"), "m1");
  EXPECT_EQ(read_file(other.dest_dir_path + "which.txt"), "m2");
  // Each mirror was asked only by its own install.
  mirrors_.clear();  // every request logged
  EXPECT_EQ(served("m1", "/slow/v1/All/f0.zip").size(), 1u);
  EXPECT_EQ(served("m2", "/slow/v1/All/f0.zip").size(), 1u);
}

// [SECTION] Mirrors that fail

TEST_F(Engine, AFailingMirrorIsLeftForAnotherWithoutCountingFilesTwice) {
  std::vector<set_file> files;
  for (int i = 0; i < 10; ++i)
    files.push_back(noise("All/f" + std::to_string(i), 30000 + size_t(i), i));
  files.push_back(noise("All/z/victim.bin", 200000, 99));
  make_set(files);
  const std::string archive = "/www/v1/All/z/victim.bin.zip";
  struct {
    const char* name;
    std::string tamper;
    const char* logged;
  } cases[] = {
      {"a 404", "rm '" + dir + "m1" + archive + "'", "HTTP Error for "},
      {"a corrupt archive",
       "printf 'XXXXXXXXXXXXXXXX' | dd of='" + dir + "m1" + archive +
           "' bs=1 seek=3000 conv=notrunc 2>/dev/null",
       "the archive did not unpack"},
      {"a lagging mirror with an old file",
       "cd '" + dir + "' && mkdir -p old && printf stale > old/victim.bin && cd old && rm -f '" +
           dir + "m1" + archive + "' && zip -q '" + dir + "m1" + archive + "' victim.bin",
       "where the manifest has"},
      {"an archive larger than the manifest announces",
       "cd '" + dir +
           "' && mkdir -p big && head -c 600000 /dev/urandom > big/victim.bin && cd big && "
           "rm -f '" +
           dir + "m1" + archive + "' && zip -q '" + dir + "m1" + archive + "' victim.bin",
       "more than 201000 bytes"},
  };
  for (const auto& c : cases) {
    run_command("rm -rf '" + dir + "m1/www' '" + dir + "m2/www' '" + in.dest_dir_path + "'");
    make_set(files);
    run_command("mkdir -p '" + dir + "m2' && cp -a '" + dir + "m1/www' '" + dir + "m2/www'");
    run_command(c.tamper);
    // Only the victim is fetched: the next finished download clears the
    // error flag, and a finish of another file in the very call that failed
    // would hide it from these frames.
    run_command("mkdir -p '" + in.dest_dir_path + "' && for z in '" + dir +
                "m1/www/v1/All/'f*.zip; " + "do unzip -qo \"$z\" -d '" + in.dest_dir_path +
                "'; done");
    mirrors_.clear();
    serve(0, "m1", "127.0.12.2");
    serve(1, "m2", "127.0.12.3");
    stg.server_index = 0;
    // The engine alone, without the frame's reset at the end, to see its counts.
    ASSERT_EQ(read_directory(in, dir + "directory.txt", "t"), dir_read);
    const float down = stg.down_req, disk = stg.disk_req;
    install_prepare(in);
    make_dirs(in);
    ASSERT_EQ(choose_files(in), 1);
    int r = 0, saw_error = 0;
    for (int frame = 0; frame < 20000 && !r; ++frame) {
      xtim.xtim_update();
      r = grab_files(in);
      saw_error |= stg.download_error;
      usleep(500);
    }
    EXPECT_EQ(r, 1) << c.name;
    EXPECT_EQ(stg.install_error, 0) << c.name;
    EXPECT_EQ(in.next.all_done, 1) << c.name;
    EXPECT_EQ(saw_error, 1) << c.name;
    EXPECT_EQ(stg.server_index, 1) << c.name;
    EXPECT_FLOAT_EQ(in.next.finished_kb, down) << c.name;
    EXPECT_FLOAT_EQ(in.next.installed_kb, disk) << c.name;
    expect_tree(in.dest_dir_path);
    EXPECT_NE(log().find(c.logged), std::string::npos) << c.name;
    reset_streams(in);
  }
}

TEST_F(Engine, AMirrorThatDiesMidTransferIsLeftForAnother) {
  make_set({noise("All/huge.bin", 3000000, 5), set_file("All/small.txt", "small")}, "m1",
           "slow/v1");
  run_command("mkdir -p '" + dir + "m2/www' && cp -a '" + dir + "m1/www/slow/v1' '" + dir +
              "m2/www/v1'");
  serve(0, "m1", "127.0.12.4", "/slow/v1/", "500k");
  serve(1, "m2", "127.0.12.5");
  stg.server_index = 0;
  bool stopped = false;
  install(60, [&] {
    const down_class* d = http.slots[stream_slot(0)];
    if (!stopped &&
        ((d && d->written > 200000) ||
         (http.slots[stream_slot(1)] && http.slots[stream_slot(1)]->written > 200000))) {
      stop_mirror(0);  // mid-transfer
      stopped = true;
    }
  });
  EXPECT_TRUE(stopped);
  EXPECT_EQ(stg.install_error, 0);
  EXPECT_EQ(in.next.all_done, 1);
  expect_tree(in.dest_dir_path);
  EXPECT_EQ(stg.server_index, 1);
  EXPECT_NE(log().find("the server closed the connection after"), std::string::npos);
}

// A mirror that answers with something that is not the file is given up
// for it at once; one that does not answer, or answers that it is in
// trouble, is waited for, here for a patience cut to 3 seconds. With no
// mirror left the install ends, the old file in place and no rename.
TEST_F(Engine, WhenEveryMirrorFailsTheInstallEndsWithTheOldFileInPlace) {
  const std::string archive = dir + "m1/www/v1/All/doc.txt.zip";
  enum mirror_kind { nginx, nothing_listening, server_error };
  struct {
    const char* name;
    std::string tamper;
    mirror_kind kind;
    const char* mirror;
    const char* folder;  // on the mirror: a 503 for every file under "/busy/"
    // Seconds the install takes: given up at once ends before the patience
    // could run out, however loaded the machine; waited for, not before it.
    double least, most;
    // Logged; out of reach, either stream's file may be the first given up.
    const char* logged;
  } cases[] = {
      {"a corrupt archive", "printf corrupt > '" + archive + "'", nginx, "127.0.12.8", "/v1/", 0, 3,
       "an archive that cannot be read"},
      {"a 404", "rm '" + archive + "'", nginx, "127.0.12.8", "/v1/", 0, 3, "(#404)"},
      {"nothing listening", "", nothing_listening, "127.0.12.172", "/v1/", 3, 10,
       ": no server has sent it for 3 s."},
      {"a 503", "", server_error, "127.0.12.176", "/busy/", 3, 10,
       ": no server has sent it for 3 s."},
  };
  for (const auto& c : cases) {
    run_command("rm -rf '" + dir + "m1' '" + dir + "root' && mkdir -p '" + in.dest_dir_path + "'");
    make_set({set_file("All/doc.txt", "new text").after({"old text"}),
              set_file("Linux/prog", "p").with_mode(0755).on(3)});
    run_command(c.tamper);
    write_file(in.dest_dir_path + "doc.txt", "old text");
    mirrors_.clear();
    if (c.kind == nginx) {
      serve(0, "m1", c.mirror);
    } else {
      if (c.kind == server_error) {
        mirrors_.push_back(std::make_unique<net_peers::Peer>(net_peers::handler_argv(c.mirror, 80),
                                                             c.mirror, 80, dir + "peer.out"));
        ASSERT_TRUE(mirrors_.back()->ready()) << mirrors_.back()->failure();
      }
      in.server_name[0] = c.mirror;
      in.server_path[0] = c.folder;
      stg.server_count = 1;
    }
    stg.server_index = 0;
    stg.rename_folder = 1;
    in.this_install_has_exes = 0;
    in.mirror_patience = 3;
    const size_t log_before = log().size();
    const auto start = std::chrono::steady_clock::now();
    install();
    const double took =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(stg.install_error, 1) << c.name;
    EXPECT_EQ(in.next.all_done, 0) << c.name;  // never "INSTALLATION COMPLETE!"
    EXPECT_EQ(read_file(in.dest_dir_path + "doc.txt"), "old text") << c.name;
    EXPECT_EQ(in.dest_dir_path, dir + "root/Nimbrel/") << c.name;
    EXPECT_GE(took, c.least) << c.name;
    EXPECT_LT(took, c.most) << c.name;
    const std::string text = log().substr(log_before);
    EXPECT_NE(text.find(c.logged), std::string::npos) << c.name << "\n" << text;
    EXPECT_NE(text.find("could not get a good copy of a file from any server"), std::string::npos)
        << c.name;
    // Refused: no second try from that mirror. Out of reach: tries after
    // growing pauses, the last when the patience runs out.
    EXPECT_EQ(
        text.find("Trying " + std::string(c.folder) + "All/doc.txt.zip again") == std::string::npos,
        c.kind == nginx)
        << c.name << "\n"
        << text;
  }
}

// The real patience on a clock driven by hand: a mirror where nothing
// listens is tried after pauses of 1, 2, 4 ... 30 seconds, and the file is
// given up once two minutes have passed since its first failure, not after
// a number of tries.
TEST_F(Engine, AMirrorOutOfReachIsWaitedForTwoMinutes) {
  make_set({set_file("All/doc.txt", "new text")});
  in.server_name[0] = "127.0.12.173";
  in.server_path[0] = "/v1/";
  stg.server_count = 1;
  ASSERT_EQ(read_directory(in, dir + "directory.txt", "t"), dir_read);
  install_prepare(in);
  ASSERT_EQ(choose_files(in), 1);
  make_dirs(in);
  int r = 0;
  float gave_up_at = -1;
  mirror_wait at_100 = {-1, 0}, at_200ms = {-1, 0};
  for (int quarter = 0; quarter < 4 * 300 && !r; ++quarter) {
    xtim.act_time = quarter * 0.25f;
    // Until this try's refusal has come back (at once, on loopback).
    for (int k = 0; k < 5000 && !r; ++k) {
      r = grab_files(in);
      if (!http.slots[stream_slot(0)]) break;
      usleep(100);
    }
    if (r) gave_up_at = xtim.act_time;
    if (quarter == 1) at_200ms = install_waiting(in);
    if (quarter == 400) at_100 = install_waiting(in);
  }
  xtim.xtim_update();
  EXPECT_EQ(r, 1);
  EXPECT_EQ(stg.install_error, 1);
  EXPECT_FLOAT_EQ(gave_up_at, kMirrorPatience);
  EXPECT_FLOAT_EQ(at_200ms.waited, 0.25f);
  EXPECT_FLOAT_EQ(at_200ms.retry_in, 0.75f);
  EXPECT_FLOAT_EQ(at_100.waited, 100);
  EXPECT_FLOAT_EQ(at_100.retry_in, 20) << "the last try comes at the two minutes";
  const std::string text = log();
  size_t at = 0;
  for (const char* pause : {"1", "2", "4", "8", "16", "30", "30", "29"}) {
    at = text.find(
        std::string("Trying /v1/All/doc.txt.zip again from 127.0.12.173 in ") + pause + " s.\n",
        at);
    ASSERT_NE(at, std::string::npos) << "a pause of " << pause << " s\n" << text;
    ++at;
  }
  EXPECT_EQ(text.find("Trying", at), std::string::npos) << "no try after the last\n" << text;
  EXPECT_NE(text.find("Giving up /v1/All/doc.txt.zip: no server has sent it for 120 s."),
            std::string::npos);
}

// The only mirror stops mid-install and comes back after longer than the
// few seconds the install used to wait: the install waits, the status line
// says so, and every file is installed.
TEST_F(Engine, TheOnlyMirrorComingBackFindsTheInstallWaiting) {
  // Enough files that some are still to be asked for when the mirror stops,
  // however fast the first ones are unpacked: each is twice what the mirror
  // sends in its first second, so it takes a second more.
  std::vector<set_file> files;
  for (int i = 0; i < 10; ++i) files.push_back(noise("All/f" + std::to_string(i), 40000, 40 + i));
  make_set(files, "m1", "slow/v1");
  const std::string addr = "127.0.12.171";
  serve(0, "m1", addr, "/slow/v1/", "20k");
  using steady = std::chrono::steady_clock;
  steady::time_point stopped_at;
  bool stopped = false, restarted = false;
  mirror_wait longest = {-1, 0};
  std::string status;
  install(60, [&] {
    if (!stopped) {
      // A file's worth is down: most of the set is still to come.
      if (install_progress(in, 0, 1).downloaded_kb > 40) {
        stop_mirror(0);
        stopped = true;
        stopped_at = steady::now();
      }
      return;
    }
    const mirror_wait w = install_waiting(in);
    if (w.waited > longest.waited) {
      longest = w;
      status_inputs shown = {0, 1, dir_read, false, true, false, 0};
      shown.waited = w.waited;
      shown.retry_in = w.retry_in;
      shown.patience = in.mirror_patience;
      status = status_line(shown).text;
    }
    if (!restarted && steady::now() - stopped_at > std::chrono::seconds(6)) {
      serve(0, "m1", addr, "/slow/v1/", "20k");
      restarted = true;
    }
  });
  EXPECT_TRUE(stopped);
  EXPECT_TRUE(restarted) << "the install ended while the mirror was away";
  EXPECT_EQ(stg.install_error, 0);
  EXPECT_EQ(in.next.all_done, 1);
  expect_tree(in.dest_dir_path);
  EXPECT_GT(longest.waited, 5.0f);
  EXPECT_EQ(status.rfind("Waiting for the server to come back: ", 0), 0u) << status;
  EXPECT_NE(status.find(", giving up after 2 minutes..."), std::string::npos) << status;
  EXPECT_EQ(log().find("could not get a good copy"), std::string::npos);
}

// One stream's file is bad on the first mirror and moves to the second
// while another stream is part way through a file: that transfer carries on
// from its own mirror, and its bytes are sent once.
TEST_F(Engine, OneStreamsFailureLeavesTheOtherStreamsTransfersAlone) {
  make_set({noise("All/big.bin", 400000, 11), noise("All/victim.bin", 30000, 12)}, "m1", "slow/v1");
  run_command("mkdir -p '" + dir + "m2/www' && cp -a '" + dir + "m1/www/slow' '" + dir +
              "m2/www/'");
  run_command("printf 'XXXXXXXXXXXXXXXX' | dd of='" + dir +
              "m1/www/slow/v1/All/victim.bin.zip' bs=1 seek=3000 conv=notrunc 2>/dev/null");
  struct stat big;
  ASSERT_EQ(stat((dir + "m1/www/slow/v1/All/big.bin.zip").c_str(), &big), 0);
  serve(0, "m1", "127.0.12.174", "/slow/v1/", "200k");
  serve(1, "m2", "127.0.12.175", "/slow/v1/", "200k");
  stg.server_index = 0;
  bool apart = false, big_moved = false;
  install(60, [&] {
    // Stream 0 holds the big file, stream 1 the victim.
    if (stream_mirror(in, 1) == 1 && http.slots[stream_slot(0)]) {
      apart = true;
      big_moved |= stream_mirror(in, 0) != 0;
    }
  });
  EXPECT_TRUE(apart) << "the victim moved only after the big file was done";
  EXPECT_FALSE(big_moved);
  EXPECT_EQ(stg.install_error, 0);
  EXPECT_EQ(in.next.all_done, 1);
  expect_tree(in.dest_dir_path);
  mirrors_.clear();  // every request logged
  const std::string whole = "200 " + std::to_string(big.st_size);
  EXPECT_EQ(served("m1", "/slow/v1/All/big.bin.zip"), std::vector<std::string>{whole});
  EXPECT_EQ(served("m2", "/slow/v1/All/big.bin.zip"), std::vector<std::string>{});
  EXPECT_EQ(served("m1", "/slow/v1/All/victim.bin.zip").size(), 1u);
  EXPECT_EQ(served("m2", "/slow/v1/All/victim.bin.zip").size(), 1u);
}

TEST_F(Engine, AFullDiskShowsTheFailureAndLeavesNothingHalfWritten) {
  const std::string disk = dir + "disk";
  testing_support::small_disk small(disk, "400k");
  if (!small.mounted()) GTEST_SKIP() << small.why_not();
  in.dest_dir_path = disk + "/Nimbrel/";
  make_set(
      {set_file("All/small.txt", "small"), noise("All/big.bin", 1000000, 3).after({"old big"})});
  run_command("mkdir -p '" + in.dest_dir_path + "' && printf 'old big' > '" + in.dest_dir_path +
              "big.bin'");
  serve(0, "m1", "127.0.12.6");
  install();
  EXPECT_EQ(stg.install_error, 1);
  EXPECT_EQ(in.next.all_done, 0);
  EXPECT_EQ(read_file(in.dest_dir_path + "big.bin"), "old big");  // the old file stays
  EXPECT_EQ(run_command("ls -A '" + in.dest_dir_path + "'").find(".nimbrel"), std::string::npos);
  const std::string text = log();
  EXPECT_NE(text.find("The installer cannot extract a file."), std::string::npos);
  EXPECT_NE(text.find("Error: No space left on device"), std::string::npos);
}

// [SECTION] A hostile mirror

TEST_F(Engine, AHostileMirrorChangesNothingOutsideTheDestination) {
  const std::string root = dir + "root/";
  write_file(root + "canary.txt", "sing");
  const std::string before =
      run_command("cd '" + dir + "' && find root tmp -path root/Nimbrel -prune -o -print | sort");
  auto outside_unchanged = [&] {
    EXPECT_EQ(
        run_command("cd '" + dir + "' && find root tmp -path root/Nimbrel -prune -o -print | sort"),
        before);
    EXPECT_EQ(read_file(root + "canary.txt"), "sing");
  };

  // Manifests that name places outside: unusable, nothing done.
  const std::string sig(32, 'a');
  for (const std::string& body :
       std::vector<std::string>{"DIR All/../\nFILE 0 0 1 0 0 GONE canary.txt\n",
                                "DIR /tmp/\nFILE 0 0 1 1 1 " + sig + " x\n",
                                "DIR All/\nFILE 0 0 1 0 0 GONE ../canary.txt\n"}) {
    write_file(dir + "directory.txt", "I\n900 version\nINSTALLER\n\n" + body);
    EXPECT_EQ(read_directory(in, dir + "directory.txt", "t"), dir_fetching) << body;
    outside_unchanged();
  }

  // Archives that try to leave: an entry that climbs, a link that climbs,
  // an absolute link; the manifest agrees with each, as a hostile one would.
  // Each is refused, and with no other mirror the install ends at it.
  const struct {
    set_file hostile;
    const char* kept_out;
    const char* logged;
  } cases[] = {
      {set_file("All/climb.txt", "x").holding({{"../../escape.txt", "x"}}), "climb.txt",
       "an entry that is not the file: ../../escape.txt"},
      {link("All/sub/link", "../../canary.txt"), "sub/link",
       "a link that leads out of the destination"},
      {link("All/abs", "/etc/passwd"), "abs", "a link that leads out of the destination"},
  };
  for (const auto& c : cases) {
    run_command("rm -rf '" + dir + "m1' '" + in.dest_dir_path + "' && mkdir -p '" +
                in.dest_dir_path + "'");
    make_set({c.hostile, set_file("All/sub/after", "after")});
    mirrors_.clear();
    serve(0, "m1", "127.0.12.7");
    const size_t log_before = log().size();
    install();
    EXPECT_EQ(stg.install_error, 1) << c.kept_out;
    EXPECT_EQ(in.next.all_done, 0) << c.kept_out;
    outside_unchanged();
    EXPECT_FALSE(exists(in.dest_dir_path + c.kept_out));
    EXPECT_NE(log().find(c.logged, log_before), std::string::npos) << c.kept_out;
  }
}

// [SECTION] Releases that change the shape of the tree

// Every link beneath dest that leads out of it once every link on its way
// is followed, one a line.
std::string links_leading_out(const std::string& dest) {
  return run_command("cd '" + dest + "' && d=\"$(pwd -P)/\" && find . -type l | " +
                     "while read -r l; do case \"$(realpath -m \"$l\")/\" in \"$d\"*) ;; " +
                     "*) echo \"$l\";; esac; done");
}

// Every entry beneath a folder with its kind, mode, size, modification time
// and link text: what an install must leave alone outside its destination.
std::string tree_snapshot(const std::string& folder) {
  return run_command("cd '" + folder + "' && find . -printf '%p %y %m %s %T@ %l\\n' | sort");
}

// Releases installed one after another into a fresh destination, each in
// one run; complete: 1 the run must end complete, 0 it must not, -1 either.
struct shape_case {
  const char* name;
  std::vector<std::vector<set_file>> releases;
  std::vector<int> complete;
  std::function<void(const std::string& dest)> user = {};  // before the last release
  std::vector<std::string> unread = {};  // manifest paths never read for their MD5
  std::vector<std::pair<std::string, std::string>> kept = {};  // the user's files, and their texts
  std::vector<std::string> said = {};                          // texts the last run's alert holds
};

class Shapes : public Engine {
 protected:
  // A sibling of the destination holding what a hostile chain of links
  // would reach: a secret to hash, a file to delete, a framework's entries
  // to rename and a program to make executable.
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(Engine::SetUp());
    outside_ = dir + "root/outside/";
    run_command("mkdir -p '" + outside_ + "VYKO.framework/Versions/Current' '" + outside_ +
                "VYKO.framework/Resources' '" + outside_ + "X.app/Contents/MacOS'");
    write_file(outside_ + "secret.txt", "secret");
    write_file(outside_ + "victim.txt", "victim");
    write_file(outside_ + "X.app/Contents/MacOS/prog", "#!/bin/sh\n");
    chmod((outside_ + "X.app/Contents/MacOS/prog").c_str(), 0644);
    before_ = tree_snapshot(outside_);
    run_command("mkdir -p '" + dir + "m1/www'");
  }

  void run_case(const shape_case& c) {
    SCOPED_TRACE(c.name);
    const std::string dest = dir + "root/Nimbrel/";
    run_command("rm -rf '" + dest + "' && mkdir -p '" + dest + "'");
    for (size_t k = 0; k < c.releases.size(); ++k) {
      SCOPED_TRACE("release " + std::to_string(k + 1));
      if (k + 1 == c.releases.size() && c.user) c.user(dest);
      const size_t log_from = log().size();
      run_command("rm -rf '" + dir + "m1/www/v1'");
      ASSERT_NO_FATAL_FAILURE(make_set(c.releases[k]));
      // Twice when it completes: a later run finds the new shape and keeps it.
      for (int run = 0; run < (c.complete[k] == 1 ? 2 : 1); ++run) {
        install();
        if (c.complete[k] >= 0) {
          EXPECT_EQ(in.next.all_done, c.complete[k]) << "run " << run + 1;
          EXPECT_EQ(stg.install_error, 1 - c.complete[k]) << "run " << run + 1;
        }
        if (c.complete[k] == 1) expect_tree(dest);
        EXPECT_EQ(tree_snapshot(outside_), before_) << "run " << run + 1;
        EXPECT_EQ(links_leading_out(dest), "") << "run " << run + 1;
      }
      const std::string said = log().substr(log_from);
      if (k + 1 == c.releases.size()) {
        for (const std::string& text : c.said)
          EXPECT_NE(said.find(text), std::string::npos) << text;
      }
    }
    for (const auto& kept : c.kept) EXPECT_EQ(read_file(dest + kept.first), kept.second);
    // Reading the last manifest again: what lies behind a link out of the
    // destination counts as missing, never as the file outside.
    ASSERT_EQ(read_directory(in, dir + "directory.txt", "t"), dir_read);
    for (const file_history_struct& h : in.sim_info)
      for (const std::string& path : c.unread)
        if (h.back().path == path) {
          EXPECT_EQ(h.back().sig_have, "NONE") << path;
        }
  }

  std::string outside_, before_;
};

TEST_F(Shapes, NothingOutsideTheDestinationIsReachedThroughAChainOfLinks) {
  serve(0, "m1", "127.0.12.31");
  const set_file up = link("All/d/up", "..");
  // What a later release does through the links: hash, delete, rename the
  // framework's entries (the standard folders) and make a program executable.
  const std::vector<set_file> through = {
      set_file("All/esc/victim.txt", "").after({"victim"}).now_gone(),
      set_file("All/Resources/plugins/X.app/Contents/MacOS/prog", "#!/bin/sh\n"),
      set_file("All/Resources/plugins/secret.txt", "secret"),
      set_file("All/esc/secret.txt", "secret")};
  auto with = [](std::vector<set_file> files, const std::vector<set_file>& more) {
    files.insert(files.end(), more.begin(), more.end());
    return files;
  };
  const set_file esc = link("All/esc", "d/up/../outside");
  const shape_case cases[] = {
      // Each link inside by its text, the chain leading beside the
      // destination: refused when it is put in place.
      {"the chain's first link first",
       {{up}, {up, esc, link("All/Resources/plugins", "../d/up/../outside")}, with({up}, through)},
       {1, 0, 1}},
      // The chain completed by its first link, in a later release: the links
      // were inside when placed, and lead out once it is there. The run
      // removes them and is not complete; no operation passes through them.
      {"the chain's first link last",
       {{esc, link("All/Resources/plugins", "../esc")},
        {esc, link("All/Resources/plugins", "../esc"), up}},
       {1, 0},
       nullptr,
       {},
       {},
       {"Removing the link " + dir +
            "root/Nimbrel/esc: with the install's other links in place "
            "it leads out",
        "Removing the link " + dir + "root/Nimbrel/Resources/plugins:",
        "The installation is not complete"}},
      {"the chain's first link last, then files through it",
       {{esc, link("All/Resources/plugins", "../esc")},
        {esc, link("All/Resources/plugins", "../esc"), up},
        with({esc, link("All/Resources/plugins", "../esc"), up}, through)},
       {1, 0, 0}},
  };
  for (const shape_case& c : cases) run_case(c);
}

TEST_F(Shapes, AFolderBecomesALinkAFileOrAFolderInOneRun) {
  serve(0, "m1", "127.0.12.32");
  const std::vector<set_file> folder = {set_file("All/A/x", "ax"), set_file("All/A/y", "ay")};
  const std::vector<set_file> old_gone = {set_file("All/A/x", "").after({"ax"}).now_gone(),
                                          set_file("All/A/y", "").after({"ay"}).now_gone()};
  // The folder's files move to B, and A becomes a link to B.
  const std::vector<set_file> moved = {set_file("All/B/x", "ax"), set_file("All/B/y", "ay")};
  const set_file a_link = link("All/A", "B");
  const set_file a_file = set_file("All/A", "now a file");
  const set_file a_gone = set_file("All/A", "").after({"B"}).now_gone();
  const set_file a_x = set_file("All/A/x", "a folder again");
  const set_file g_file = set_file("All/G", "a file");
  const std::vector<set_file> g_folder = {set_file("All/G/a", "ga"), set_file("All/G/b", "gb")};
  const set_file g_gone = set_file("All/G", "").after({"a file"}).now_gone();
  auto cat = [](std::initializer_list<std::vector<set_file>> parts) {
    std::vector<set_file> out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
  };
  const shape_case cases[] = {
      {"folder to link, the link first", {folder, cat({{a_link}, old_gone, moved})}, {1, 1}},
      {"folder to link, the link last", {folder, cat({old_gone, moved, {a_link}})}, {1, 1}},
      {"folder to file, the file first", {folder, cat({{a_file}, old_gone})}, {1, 1}},
      {"folder to file, the file last", {folder, cat({old_gone, {a_file}})}, {1, 1}},
      {"link to folder", {cat({moved, {a_link}}), cat({moved, {a_gone}, {a_x}})}, {1, 1}},
      {"file to folder, the folder first", {{g_file}, cat({g_folder, {g_gone}})}, {1, 1}},
      {"file to folder, the folder last", {{g_file}, cat({{g_gone}, g_folder})}, {1, 1}},
      // The user's own link A -> B makes the wanted A/x the file that B/x's
      // deletion takes: checked after the deletions, the install is not
      // complete.
      {"a deletion that takes a wanted file",
       {moved, {set_file("All/A/x", "ax"), set_file("All/B/x", "").after({"ax"}).now_gone()}},
       {1, 0},
       [](const std::string& dest) { symlink("B", (dest + "A").c_str()); },
       {},
       {},
       {"The installation is not complete", "File: " + dir + "root/Nimbrel/A/x\n"}},
      {"the user's file in the old folder",
       {folder, cat({{a_file}, old_gone})},
       {1, 0},
       [](const std::string& dest) { write_file(dest + "A/mine.txt", "mine"); },
       {},
       {{"A/mine.txt", "mine"}},
       {"something of yours is in the way", "In the way: " + dir + "root/Nimbrel/A\n",
        "Move this out of the installation folder: " + dir + "root/Nimbrel/A/mine.txt\n"}},
      {"the user's file where a folder goes",
       {{g_file}, cat({{g_gone}, g_folder})},
       {1, 0},
       [](const std::string& dest) { write_file(dest + "G", "mine"); },
       {},
       {{"G", "mine"}},
       {"In the way: " + dir + "root/Nimbrel/G\n",
        "Move this out of the installation folder: " + dir + "root/Nimbrel/G\n"}},
  };
  for (const shape_case& c : cases) run_case(c);
}

// Releases whose links change where a later file of the same run lands:
// each run ends with the same verdict and the same question whichever of
// its files the workers place first (the manifest's order with one stream
// and no workers decides it; with workers, the machine).
TEST_F(Shapes, NoLinkLeadsOutWhenTheRunEndsWhicheverIsPlacedFirst) {
  serve(0, "m1", "127.0.12.33");
  stg.stream_count = 1;
  const set_file up = link("All/d/up", "..");
  const set_file esc = link("All/esc", "d/up/../outside");
  const set_file plugins = link("All/Resources/plugins", "../d/up/../outside");
  const std::vector<std::vector<set_file>> orders = {
      {up, esc, plugins}, {esc, plugins, up}, {plugins, esc, up}};
  for (bool with_workers : {false, true}) {
    workers(with_workers);
    for (const std::vector<set_file>& order : orders)
      run_case({with_workers ? "with workers" : "in the manifest's order", {order}, {0}});
  }
}

TEST_F(Shapes, AFileThatALinkOfTheRunLeadsToIsTheUsersToKeep) {
  serve(0, "m1", "127.0.12.34");
  const std::string dest = dir + "root/Nimbrel/";
  std::vector<set_file> between;
  for (int k = 0; k < 8; ++k) between.push_back(noise("All/f" + std::to_string(k), 20000, 40 + k));
  auto release = [&](bool link_first) {
    std::vector<set_file> files = {link("All/notes", "Output/logbooks")};
    files.insert(files.end(), between.begin(), between.end());
    files.push_back(set_file("All/notes/Logbook.txt", "the mirror's"));
    if (!link_first) std::swap(files.front(), files.back());
    return files;
  };
  // From the mirror with and without workers, and from a disc.
  for (int source : {0, 1, 2})
    for (bool link_first : {true, false})
      for (select_answer answer : {answer_keep, answer_act}) {
        const bool with_workers = source == 1;
        SCOPED_TRACE(std::string(source == 2    ? "disc, "
                                 : with_workers ? "workers, "
                                                : "no workers, ") +
                     (link_first ? "the link first, " : "the link last, ") +
                     (answer == answer_keep ? "kept" : "replaced"));
        workers(with_workers);
        in.is_net = source == 2 ? 0 : 1;
        in.is_dvd = source == 2 ? 1 : 0;
        dvd_path = source == 2 ? dir + "m1/www/" : "";
        stg.stream_count = with_workers ? 4 : 1;
        g_engine_hooks.select_alert = answer_in_turn;
        g_questions = question_log();
        g_questions.answers = {answer};
        run_command("rm -rf '" + dest + "' && mkdir -p '" + dest + "Output/logbooks'");
        write_file(dest + "Output/logbooks/Logbook.txt", "mine");
        run_command("rm -rf '" + dir + "m1/www/v1'");
        ASSERT_NO_FATAL_FAILURE(make_set(release(link_first)));
        install();
        EXPECT_EQ(g_questions.asked, std::vector<std::string>{dest + "notes/Logbook.txt"});
        EXPECT_EQ(read_file(dest + "Output/logbooks/Logbook.txt"),
                  answer == answer_keep ? "mine" : "the mirror's");
        EXPECT_EQ(stg.install_error, 0);
        EXPECT_EQ(in.next.all_done, 1);
        EXPECT_EQ(run_command("ls -A '" + dir + "tmp/'"), "");
      }
  dvd_path.clear();
}

TEST_F(Engine, ACopyChangedAfterItWasJudgedIsAskedAbout) {
  run_command("mkdir -p '" + dir + "m1/www'");
  serve(0, "m1", "127.0.12.36");
  g_engine_hooks.select_alert = answer_in_turn;
  const struct {
    select_answer answer;
    const char* left;
    int complete;
  } cases[] = {{answer_keep, "mine", 1}, {answer_act, "new", 1}, {answer_cancel, "mine", 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.left + std::string(c.complete ? "" : ", cancelled"));
    g_questions = question_log();
    g_questions.answers = {c.answer};
    run_command("rm -rf '" + dir + "m1/www/v1'");
    ASSERT_NO_FATAL_FAILURE(make_set({set_file("All/a.txt", "new").after({"old"})}));
    write_file(in.dest_dir_path + "a.txt", "old");
    // Judged as our old release; the user saves over it before it is replaced.
    bool saved = false;
    install(60, [&] {
      if (!saved) write_file(in.dest_dir_path + "a.txt", "mine");
      saved = true;
    });
    EXPECT_EQ(g_questions.asked, std::vector<std::string>{in.dest_dir_path + "a.txt"});
    EXPECT_EQ(read_file(in.dest_dir_path + "a.txt"), c.left);
    EXPECT_EQ(in.next.all_done, c.complete);
    EXPECT_EQ(stg.install_error, 1 - c.complete);
    EXPECT_EQ(run_command("ls -A '" + dir + "tmp/'"), "");
  }
}

TEST_F(Engine, TwoLinesForOnePlaceWithDifferentMD5sAreNeverComplete) {
  run_command("mkdir -p '" + dir + "m1/www'");
  serve(0, "m1", "127.0.12.35");
  const set_file b = set_file("Linux/x.txt", "B").on(3);
  std::vector<set_file> release2 = {set_file("All/x.txt", "A")};
  for (int k = 0; k < 4; ++k) release2.push_back(set_file("All/f" + std::to_string(k), "f"));
  release2.push_back(b);
  for (bool with_workers : {false, true})
    for (bool all_first : {true, false}) {
      SCOPED_TRACE(std::string(with_workers ? "workers, " : "no workers, ") +
                   (all_first ? "the new line first" : "the current line first"));
      workers(with_workers);
      stg.stream_count = with_workers ? 4 : 1;
      run_command("rm -rf '" + in.dest_dir_path + "' '" + dir + "m1/www/v1' && mkdir -p '" +
                  in.dest_dir_path + "'");
      ASSERT_NO_FATAL_FAILURE(make_set({b}));
      install();
      ASSERT_EQ(in.next.all_done, 1);
      std::vector<set_file> files = release2;
      if (!all_first) std::swap(files.front(), files.back());
      run_command("rm -rf '" + dir + "m1/www/v1'");
      ASSERT_NO_FATAL_FAILURE(make_set(files));
      const size_t log_from = log().size();
      install();
      EXPECT_EQ(in.next.all_done, 0);
      EXPECT_EQ(stg.install_error, 1);
      EXPECT_NE(log().find("The installation is not complete", log_from), std::string::npos);
      EXPECT_NE(log().find("File: " + in.dest_dir_path + "x.txt", log_from), std::string::npos);
    }
}

// [SECTION] Beside the user's own files

// The scratch folders a run unpacks in are its own: the user's folders of
// those names stay, whatever the run unpacks beside them and however many
// jobs are out at once; a scratch folder an interrupted run left goes, and
// one the user has put something in stays whole.
TEST_F(Engine, TsanScratchFoldersAreTheRunsOwnAndOnlyItsLeftoversGo) {
  const std::string addr = "127.0.28.21";
  const std::vector<std::string> root_files = {"a.txt", "c.txt", "d.txt"};
  std::vector<set_file> release1 = {noise("All/sub/big.bin", 12000000, 5),
                                    set_file("All/sub/b.txt", "b")};
  std::vector<set_file> release2 = release1;
  for (const std::string& name : root_files) {
    release1.push_back(set_file("All/" + name, name + " 1"));
    release2.push_back(set_file("All/" + name, name + " 2").after({name + " 1"}));
  }
  const std::string captured = dir + "captured/";
  // A scratch folder as a job has it, copied while the job is out (in the
  // tree's turn, so that the folder is whole): what a run that ends there
  // leaves behind.
  auto capture = [&] {
    if (exists(captured)) return;
    std::unique_lock<std::mutex> turn = unpack_tree_turn(in);
    DIR* d = opendir((in.dest_dir_path + "sub").c_str());
    if (!d) return;
    std::string found;
    while (struct dirent* e = readdir(d))
      if (std::string(e->d_name).rfind(".nimbrel-unpacking", 0) == 0) found = e->d_name;
    closedir(d);
    if (!found.empty())
      run_command("cp -a '" + in.dest_dir_path + "sub/" + found + "' '" + captured + "'");
  };
  const std::string mine = ".nimbrel-unpacking/mine.txt";
  // Each way: the workers free, or held until jobs are out side by side.
  for (bool held : {false, true}) {
    SCOPED_TRACE(held ? "the jobs held until several are out" : "the jobs free");
    const std::string dest = in.dest_dir_path;
    run_command("rm -rf '" + dest + "' '" + dir + "m1/www/v1' && mkdir -p '" + dest + "'");
    ASSERT_NO_FATAL_FAILURE(make_set(release1));
    if (mirrors_.empty()) {
      ASSERT_NO_FATAL_FAILURE(serve(0, "m1", addr));
    }
    install(60, capture);
    ASSERT_EQ(in.next.all_done, 1);
    ASSERT_TRUE(exists(captured)) << "no job was seen with its scratch folder";
    EXPECT_EQ(run_command("find '" + dest + "' -name '.nimbrel-unpacking*'"), "");

    // The user's folders under the names the scratch folders had, beside
    // the files that change; the captured leftover beside a file that stays
    // as it is, and a copy of it that the user has put a file in.
    for (const std::string& name : {std::string(""), std::string("-1"), std::string("-2")})
      run_command("mkdir -p '" + dest + ".nimbrel-unpacking" + name + "' && printf mine > '" +
                  dest + ".nimbrel-unpacking" + name + "/mine.txt'");
    run_command("cp -a '" + captured + "' '" + dest + "sub/.nimbrel-unpacking-7' && cp -a '" +
                captured + "' '" + dest + "sub/.nimbrel-unpacking-8' && printf mine > '" + dest +
                "sub/.nimbrel-unpacking-8/mine.txt'");
    const std::string kept_before = run_command(
        "cd '" + dest + "sub/.nimbrel-unpacking-8' && find . -printf '%p %y %s\\n' | sort");

    run_command("rm -rf '" + dir + "m1/www/v1'");
    ASSERT_NO_FATAL_FAILURE(make_set(release2));
    stg.stream_count = 4;
    install_with_jobs_out(held);
    EXPECT_EQ(stg.install_error, 0);
    EXPECT_EQ(in.next.all_done, 1);
    expect_tree(dest);
    for (const std::string& name : {std::string(""), std::string("-1"), std::string("-2")})
      EXPECT_EQ(read_file(dest + ".nimbrel-unpacking" + name + "/mine.txt"), "mine") << name;
    EXPECT_FALSE(exists(dest + "sub/.nimbrel-unpacking-7"));
    EXPECT_EQ(run_command("cd '" + dest +
                          "sub/.nimbrel-unpacking-8' && find . -printf '%p %y %s\\n' | sort"),
              kept_before);
    EXPECT_NE(log().find("Removed " + dest + "sub/.nimbrel-unpacking-7/"), std::string::npos);
    EXPECT_EQ(log().find("Removed " + dest + "sub/.nimbrel-unpacking-8/"), std::string::npos);
  }
}

// A folder that a release turns into a file, holding a folder of the
// user's under a scratch folder's name: it stops the install as any file of
// the user's there does, whichever comes first, the file or the deletions
// of the old folder's files, and whenever the worker runs.
TEST_F(Engine, AUsersScratchNamedFolderInAFolderThatBecomesAFileIsInTheWay) {
  const std::string addr = "127.0.28.22";
  const std::vector<set_file> folder = {set_file("All/x/one", "one"), set_file("All/x/two", "two")};
  const std::vector<set_file> old_gone = {set_file("All/x/one", "").after({"one"}).now_gone(),
                                          set_file("All/x/two", "").after({"two"}).now_gone()};
  const set_file x_file = set_file("All/x", "now a file");
  for (bool file_first : {true, false})
    for (bool held : {false, true}) {
      SCOPED_TRACE(std::string(file_first ? "the file first" : "the file last") +
                   (held ? ", the job held until the streams are done" : ""));
      const std::string dest = in.dest_dir_path;
      run_command("rm -rf '" + dest + "' '" + dir + "m1/www/v1' && mkdir -p '" + dest + "'");
      ASSERT_NO_FATAL_FAILURE(make_set(folder));
      if (mirrors_.empty()) {
        ASSERT_NO_FATAL_FAILURE(serve(0, "m1", addr));
      }
      install();
      ASSERT_EQ(in.next.all_done, 1);
      run_command("mkdir -p '" + dest + "x/.nimbrel-unpacking-7' && printf mine > '" + dest +
                  "x/.nimbrel-unpacking-7/mine.txt'");
      run_command("rm -rf '" + dir + "m1/www/v1'");
      std::vector<set_file> release2 = old_gone;
      release2.insert(file_first ? release2.begin() : release2.end(), x_file);
      ASSERT_NO_FATAL_FAILURE(make_set(release2));
      const size_t from = log().size();
      std::unique_ptr<worker_gate> gate;
      install(60, [&] {
        if (held && !gate && unpack_pending(in) == 0) gate = std::make_unique<worker_gate>();
        if (in.next.next_file >= static_cast<int>(in.sim_info.size())) gate.reset();
      });
      gate.reset();
      EXPECT_EQ(in.next.all_done, 0);
      EXPECT_EQ(stg.install_error, 1);
      EXPECT_EQ(read_file(dest + "x/.nimbrel-unpacking-7/mine.txt"), "mine");
      const std::string said = log().substr(from);
      EXPECT_NE(said.find("In the way: " + dest + "x\n"), std::string::npos) << said;
      EXPECT_NE(said.find("Move this out of the installation folder: " + dest +
                          "x/.nimbrel-unpacking-7/mine.txt\n"),
                std::string::npos);
    }
}

// A program of a Mac bundle is made runnable only when it is a file this
// run unpacked and judged good: never through a link the release puts at
// its place (to a file or a folder of the user's), never after a failed
// unpacking; and the line that says so stays.
TEST_F(Engine, OnlyAProgramThisRunPlacedIsMadeRunnable) {
  const std::string addr = "127.0.28.23";
  const std::vector<set_file> release = {
      link("All/Apps/Contents/MacOS/tool", "../../../Output/logbooks/private.txt"),
      link("All/Apps2/Contents/MacOS/tool", "../../../Output"),
      set_file("All/Apps3/Contents/MacOS/tool", "#!/bin/sh\n"),
  };
  for (bool held : {false, true}) {
    SCOPED_TRACE(held ? "the jobs held until every archive is out" : "the jobs free");
    const std::string dest = in.dest_dir_path;
    run_command("rm -rf '" + dest + "' '" + dir + "m1/www/v1' && mkdir -p '" + dest +
                "Output/logbooks'");
    write_file(dest + "Output/logbooks/private.txt", "mine");
    chmod((dest + "Output/logbooks/private.txt").c_str(), 0600);
    chmod((dest + "Output").c_str(), 0700);
    ASSERT_NO_FATAL_FAILURE(make_set(release));
    if (mirrors_.empty()) {
      ASSERT_NO_FATAL_FAILURE(serve(0, "m1", addr));
    }
    install_with_jobs_out(held);
    EXPECT_EQ(in.next.all_done, 1);
    expect_tree(dest);
    EXPECT_EQ(mode_of(dest + "Output/logbooks/private.txt"), 0600);
    EXPECT_EQ(mode_of(dest + "Output"), 0700);
    EXPECT_EQ(mode_of(dest + "Apps3/Contents/MacOS/tool"), 0755);
    EXPECT_NE(log().find("CHMODING  file " + dest + "Apps3/Contents/MacOS/tool, with result=0.\n"),
              std::string::npos);
  }

  // An update whose archive is not the manifest's file: the old program
  // stays as it was.
  const std::string tool = in.dest_dir_path + "Apps3/Contents/MacOS/tool";
  chmod(tool.c_str(), 0644);
  run_command("rm -rf '" + dir + "m1/www/v1'");
  ASSERT_NO_FATAL_FAILURE(make_set({set_file("All/Apps3/Contents/MacOS/tool", "#!/bin/sh\necho 2\n")
                                        .after({"#!/bin/sh\n"})
                                        .holding({{"tool", "not the program"}})}));
  install();
  EXPECT_EQ(in.next.all_done, 0);
  EXPECT_EQ(read_file(tool), "#!/bin/sh\n");
  EXPECT_EQ(mode_of(tool), 0644);
}

// The folder's new name at the end of an install is taken already: what
// has it stays, and the installation keeps its folder, saying why.
TEST_F(Engine, TheInstallationsNewNameNeverReplacesWhatHasIt) {
  make_set({set_file("All/a.txt", "a"), set_file("Linux/prog", "p").with_mode(0755).on(3)});
  serve(0, "m1", "127.0.28.24");
  for (const std::string& taken : {std::string("an empty folder"), std::string("a file")}) {
    SCOPED_TRACE(taken);
    in.dest_dir_path = dir + "root/Nimbrel/";
    const std::string beside = dir + "root/Nimbrel 9";
    run_command("rm -rf '" + dir + "root' && mkdir -p '" + in.dest_dir_path + "'");
    if (taken == "a file")
      write_file(beside, "mine");
    else
      mkdir(beside.c_str(), 0700);
    auto what_is_beside = [&] {
      return run_command("stat -c '%F %a %s' '" + beside + "' && cat '" + beside + "' 2>/dev/null");
    };
    const std::string before = what_is_beside();
    stg.rename_folder = 1;
    in.install_name = "Nimbrel 9";
    in.this_install_has_exes = 0;
    const size_t from = log().size();
    install();
    EXPECT_EQ(in.next.all_done, 1);
    EXPECT_EQ(in.dest_dir_path, dir + "root/Nimbrel/");
    expect_tree(in.dest_dir_path);
    EXPECT_EQ(what_is_beside(), before);
    EXPECT_NE(log().find("Not renaming the installation to \"Nimbrel 9\": ", from),
              std::string::npos);
  }
}

// [SECTION] Failing in the middle

// How many alerts the shell showed: it logs a memory report with each.
size_t alerts_shown(const std::string& text) {
  size_t count = 0;
  const std::string mark = "This is the dump_mem_stats call from";
  for (size_t at = text.find(mark); at != std::string::npos; at = text.find(mark, at + 1)) ++count;
  return count;
}

// The orders the workers may end a run's jobs in: each as it comes, or every
// archive handed over first and all of them ended before the engine takes
// one back.
enum job_order { as_they_come, all_at_once };

class Failing : public Engine {
 protected:
  // A tmpfs of `size` at dir + "disk" (the one before it gone), as root;
  // why_not says why there is none.
  bool small_disk(const std::string& size, std::string* why_not = nullptr) {
    disk_.reset();
    disk_ = std::make_unique<testing_support::small_disk>(dir + "disk", size);
    if (why_not) *why_not = disk_->why_not();
    return disk_->mounted();
  }
  // Engine's TearDown unmounts it once the workers are done, before the
  // folder goes.
  std::unique_ptr<testing_support::small_disk> disk_;

  // The set's install, with the workers ending its jobs in that order.
  void install_in_order(job_order order, size_t files) {
    std::unique_ptr<worker_gate> gate;
    bool held = false;
    in.unpacks_out_limit = static_cast<int>(files);
    install(60, [&] {
      if (order != all_at_once) return;
      if (!held) gate = std::make_unique<worker_gate>();
      held = true;
      if (!gate || unpack_pending(in) < files) return;
      gate.reset();
      // Every job deletes its archive as it ends.
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
      while (run_command("ls '" + in.temp_path + "' | grep -c unpacking-") != "0\n" &&
             std::chrono::steady_clock::now() < deadline)
        UTL_sleep(5);
      UTL_sleep(50);
    });
  }

  // Nothing of the run is left: no archive, no scratch folder, and every
  // new file in place is whole (old files the run could not replace may
  // stand where new ones were to go).
  void nothing_left_behind(const std::string& old_prefix = "") {
    EXPECT_EQ(run_command("ls -A '" + in.temp_path + "'"), "");
    EXPECT_EQ(run_command("find '" + in.dest_dir_path + "' -name '.nimbrel-unpacking*'"), "");
    std::istringstream lines(read_file(dir + "expect.md5"));
    std::string placed;
    for (std::string line; std::getline(lines, line);) {
      const std::string name = line.substr(line.find("  ") + 2);
      if (exists(in.dest_dir_path + name) && (old_prefix.empty() || name.rfind(old_prefix, 0) != 0))
        placed += line + "\n";
    }
    if (placed.empty()) return;
    write_file(dir + "placed.md5", placed);
    int status = 0;
    const std::string out = run_command(
        "cd '" + in.dest_dir_path + "' && md5sum -c --quiet '" + dir + "placed.md5' 2>&1", &status);
    EXPECT_EQ(status, 0) << out;
  }
};

// Several jobs fail at once (a full disk, old files that cannot be
// replaced, a mirror whose every archive is corrupt): the first failure is
// the one alert, every later one is logged, and the install ends with
// nothing of it left behind, whichever order the workers end the jobs in.
TEST_F(Failing, TsanTheFirstFailureIsTheOneAlertAndTheRestAreLogged) {
  const bool root = geteuid() == 0;
  struct failing_case {
    const char* name;
    bool needs_root;
    const char* addr;
    std::function<void(std::vector<set_file>&)> files;
    std::function<bool()> prepare;  // false: this machine cannot show it
    const char* alert;
    const char* cause;
    std::function<void()> after = nullptr;
    std::string old_files = "";  // names of old files the run leaves
  };
  const std::string dest = dir + "root/Nimbrel/";
  const failing_case cases[] = {
      // 24 files of 150 KB on a disk of 1.5 MB.
      {"a full disk", true, "127.0.28.1",
       [](std::vector<set_file>& files) {
         for (int i = 0; i < 24; ++i)
           files.push_back(noise("All/f" + std::to_string(i), 150000, 300 + i));
       },
       [&] {
         if (!small_disk("1500k")) return false;
         in.dest_dir_path = dir + "disk/Nimbrel/";
         return true;
       },
       "The installer cannot extract a file.", "Error: No space left on device"},
      // Four old files that not even root may replace, among new ones.
      {"unchangeable old files", true, "127.0.28.2",
       [](std::vector<set_file>& files) {
         for (int i = 0; i < 8; ++i) {
           const std::string n = std::to_string(i);
           files.push_back(i % 2 ? set_file("All/new" + n, "new " + n)
                                 : set_file("All/old" + n, "new " + n).after({"old " + n}));
         }
       },
       [&] {
         for (int i = 0; i < 8; i += 2)
           write_file(dest + "old" + std::to_string(i), "old " + std::to_string(i));
         return run_command("chattr +i '" + dest + "'old* 2>/dev/null && echo ok") == "ok\n";
       },
       "The installer cannot extract a file.", "Error: Operation not permitted",
       [&] {
         run_command("chattr -i '" + dest + "'old*");
         for (int i = 0; i < 8; i += 2)
           EXPECT_EQ(read_file(dest + "old" + std::to_string(i)), "old " + std::to_string(i));
       },
       "old"},
      {"a mirror whose every archive is corrupt", false, "127.0.28.3",
       [](std::vector<set_file>& files) {
         for (int i = 0; i < 8; ++i)
           files.push_back(set_file("All/c" + std::to_string(i), "text " + std::to_string(i)));
       },
       [&] {
         run_command("for z in '" + dir + "m1/www/v1/All/'*.zip; do printf corrupt > \"$z\"; done");
         return true;
       },
       "The installer could not get a good copy of a file from any server.", "Servers tried: 1"},
  };
  for (const failing_case& c : cases) {
    if (c.needs_root && !root) continue;
    std::vector<set_file> files;
    c.files(files);
    mirrors_.clear();
    run_command("rm -rf '" + dir + "m1'");
    ASSERT_NO_FATAL_FAILURE(make_set(files));
    ASSERT_NO_FATAL_FAILURE(serve(0, "m1", c.addr));
    for (const job_order order : {all_at_once, as_they_come}) {
      SCOPED_TRACE(std::string(c.name) +
                   (order == all_at_once ? ", all at once" : ", as they come"));
      in.dest_dir_path = dest;
      run_command("rm -rf '" + dest + "' && mkdir -p '" + dest + "'");
      if (!c.prepare()) {
        ADD_FAILURE() << "this machine cannot show it";
        continue;
      }
      run_command("mkdir -p '" + in.dest_dir_path + "'");
      stg.stream_count = 4;
      const size_t from = log().size();
      install_in_order(order, files.size());
      const std::string text = log().substr(from);
      EXPECT_EQ(stg.install_error, 1);
      EXPECT_EQ(in.next.all_done, 0);
      EXPECT_EQ(alerts_shown(text), 1u) << text;
      EXPECT_NE(text.find(c.alert), std::string::npos) << text;
      EXPECT_NE(text.find(c.cause), std::string::npos) << text;
      if (order == all_at_once) {
        EXPECT_NE(text.find("Not shown, the install has already failed: " + std::string(c.alert)),
                  std::string::npos)
            << text;
      }
      EXPECT_EQ(unpack_pending(in), 0u);
      nothing_left_behind(c.old_files);
      if (c.after) c.after();
    }
  }
}

// A download that cannot be written to the temporary folder is this
// machine's failure, not the mirror's: no other try, no waiting for the
// mirror's patience, one alert naming the folder and the cause, and the
// install ends at once with nothing left in the folder, with the jobs out
// held by the workers or not.
TEST_F(Failing, AFullTemporaryFolderEndsTheInstallWithOneAlertNamingIt) {
  std::string why_not;
  if (!small_disk("300k", &why_not)) GTEST_SKIP() << why_not;
  in.temp_path = dir + "disk/";
  std::vector<set_file> files;
  for (int i = 0; i < 6; ++i) files.push_back(set_file("All/s" + std::to_string(i), "small"));
  for (int i = 0; i < 3; ++i) files.push_back(noise("All/big" + std::to_string(i), 400000, 50 + i));
  make_set(files);
  serve(0, "m1", "127.0.28.4");
  for (const bool held : {false, true}) {
    SCOPED_TRACE(held ? "the workers held until the install ends" : "the workers free");
    run_command("rm -rf '" + in.dest_dir_path + "' && mkdir -p '" + in.dest_dir_path + "'");
    stg.stream_count = 4;
    in.unpacks_out_limit = static_cast<int>(files.size());
    const size_t from = log().size();
    std::unique_ptr<worker_gate> gate;
    bool started = false;
    const auto start = std::chrono::steady_clock::now();
    // Held past the failure (the folder fills within seconds at the
    // mirror's rate), so that the jobs are still out when the install ends.
    install(20, [&] {
      if (held && !started) gate = std::make_unique<worker_gate>(std::chrono::seconds(8));
      started = true;
    });
    gate.reset();
    const double took =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const std::string text = log().substr(from);
    EXPECT_EQ(stg.install_error, 1);
    EXPECT_EQ(in.next.all_done, 0);
    EXPECT_LT(took, 15);  // not a mirror out of reach: no patience waited out
    EXPECT_EQ(alerts_shown(text), 1u) << text;
    EXPECT_NE(text.find("The installer cannot write to its temporary folder.\nFolder: " +
                        in.temp_path + "\nError: No space left on device"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find(" again from "), std::string::npos) << text;
    if (held) {
      EXPECT_NE(text.find("The install had stopped: "), std::string::npos) << "no job was out";
    }
    EXPECT_EQ(text.find("could not get a good copy"), std::string::npos) << text;
    nothing_left_behind();
  }
}

// [SECTION] Without a network

TEST_F(Engine, StreamsFollowThePreferenceAndFinishAtOnceWhenNothingIsWanted) {
  // An empty manifest: the first call hands out index 0 (= n) and finishes.
  write_file(dir + "directory.txt", "I\n900 version\nINSTALLER\n\n");
  ASSERT_EQ(read_directory(in, dir + "directory.txt", "t"), dir_read);
  install_prepare(in);
  EXPECT_EQ(grab_files(in), 1);
  EXPECT_EQ(in.next.all_done, 1);

  // Every file current: two a call, none downloaded, two streams stay on.
  std::string body = "I\n900 version\nINSTALLER\n\nDIR All/\n";
  for (int i = 0; i < 6; ++i) {
    write_file(in.dest_dir_path + "c" + std::to_string(i), "same");
    body +=
        "FILE 0 0 1 1 1 " + testing_support::md5sum_of("same") + " c" + std::to_string(i) + "\n";
  }
  write_file(dir + "directory.txt", body);
  for (int preferred : {0, 1, 9, -3}) {
    stg.stream_count = preferred;
    ASSERT_EQ(read_directory(in, dir + "directory.txt", "t"), dir_read);
    install_prepare(in);
    ASSERT_EQ(choose_files(in), 1);
    EXPECT_EQ(grab_files(in), 0);
    EXPECT_EQ(stg.file_action, action_current);
    // One stream wanted: the first stream's finished file turns it off.
    const std::string on =
        std::to_string(in.next.stream_on[0]) + std::to_string(in.next.stream_on[1]) +
        std::to_string(in.next.stream_on[2]) + std::to_string(in.next.stream_on[3]);
    EXPECT_EQ(on, preferred == 1 ? "0100" : preferred <= 0 ? "1100" : "1111") << preferred;
    int calls = 1;
    while (!grab_files(in)) ++calls;
    EXPECT_EQ(in.next.all_done, 1);
    EXPECT_FLOAT_EQ(in.next.finished_kb, 0);
    if (preferred == 0) {
      EXPECT_EQ(calls, 3) << "two files a call";
    }
  }
}

TEST_F(Engine, DeletionsAndTheCleanUpNeverReachThroughALinkOutOfTheDestination) {
  // The user keeps a folder of the installation elsewhere, through a link.
  const std::string elsewhere = dir + "elsewhere/";
  run_command("mkdir -p '" + elsewhere + "sub' && printf old > '" + elsewhere +
              "sub/victim.txt' && ln -s '" + elsewhere + "' '" + in.dest_dir_path +
              "ext' && mkdir -p '" + in.dest_dir_path + "gone' && printf old > '" +
              in.dest_dir_path + "gone/file.txt'");
  const std::string old = testing_support::md5sum_of("old");
  write_file(dir + "directory.txt",
             "I\n900 version\nINSTALLER\n\nDIR All/ext/sub/\nFILE 0 0 1 1 1 " + old +
                 " victim.txt\nFILE 0 0 2 0 0 GONE victim.txt\n"
                 "DIR All/gone/\nFILE 0 0 1 1 1 " +
                 old +
                 " file.txt\n"
                 "FILE 0 0 2 0 0 GONE file.txt\n");
  install();
  EXPECT_EQ(in.next.all_done, 1);
  EXPECT_EQ(read_file(elsewhere + "sub/victim.txt"), "old");
  EXPECT_TRUE(exists(elsewhere + "sub"));
  EXPECT_FALSE(exists(in.dest_dir_path + "gone"));  // inside: deleted, and its folder tidied away
  EXPECT_NE(log().find("Not deleting " + in.dest_dir_path + "ext/sub/victim.txt"),
            std::string::npos);
}

TEST_F(Engine, InstallControlsClearWhatTheyMust) {
  stg.dir_state = dir_read;
  in.next.all_done = 1;
  stg.install_error = 1;
  install_prepare(in);
  EXPECT_EQ(in.next.all_done, 0);
  EXPECT_EQ(stg.install_error, 0);
  EXPECT_EQ(
      in.next.stream_on[0] + in.next.stream_on[1] + in.next.stream_on[2] + in.next.stream_on[3], 2);

  // The platform: refused while installing; otherwise the manifest is read again.
  stg.install_phase = phase_installing;
  EXPECT_EQ(set_download_os(in, platform_windows), 0);
  EXPECT_EQ(stg.download_os, platform_linux);
  stg.install_phase = phase_idle;
  in.this_install_has_exes = 1;
  EXPECT_EQ(set_download_os(in, platform_windows), 1);
  EXPECT_EQ(stg.download_os, platform_windows);
  EXPECT_EQ(in.this_install_has_exes, 0);
  EXPECT_EQ(stg.dir_state, dir_fetched);
  EXPECT_EQ(set_download_os(in, 7), 0);

  // A new destination.
  stg.dir_state = dir_read;
  stg.install_phase = phase_ended;
  in.next.all_done = 1;
  install_destination_changed(in);
  EXPECT_EQ(in.next.all_done, 0);
  EXPECT_EQ(stg.install_phase, phase_idle);
  EXPECT_EQ(stg.dir_state, dir_fetched);
}

TEST_F(Engine, FiguresStayFiniteAndSayNothingTheyCannotKnow) {
  in.next = next_struct();
  xtim.xtim_update();
  in.next.reset_time = xtim.act_time;
  // Nothing downloaded, only deletions: full, no rate, no time.
  install_figures f = install_progress(in, 0, 0);
  EXPECT_FLOAT_EQ(f.fraction, 1);
  EXPECT_FLOAT_EQ(f.rate, 0);
  EXPECT_FLOAT_EQ(f.seconds_left, -1);
  EXPECT_EQ(time_left_text(f.seconds_left), "");
  in.next.finished_kb = 500;
  in.next.installed_kb = 250;
  f = install_progress(in, 1500, 1000);
  EXPECT_FLOAT_EQ(f.fraction, 0.25f);
  EXPECT_GT(f.rate, 0);
  EXPECT_FLOAT_EQ(f.seconds_left, 1000 / f.rate);
  in.next.installed_kb = NAN;
  in.next.finished_kb = INFINITY;
  f = install_progress(in, NAN, 1000);
  EXPECT_TRUE(std::isfinite(f.fraction) && std::isfinite(f.rate) && std::isfinite(f.seconds_left) &&
              std::isfinite(f.downloaded_kb));

  struct {
    float seconds;
    const char* text;
  } times[] = {
      {0, "0 seconds"},  {119.9f, "119 seconds"},    {120, "2 minutes"}, {7199, "119 minutes"},
      {7200, "2 hours"}, {1e30f, "277777777 hours"}, {-1, ""},           {NAN, ""},
      {INFINITY, ""}};
  for (const auto& t : times) EXPECT_EQ(time_left_text(t.seconds), t.text) << t.seconds;

  EXPECT_FLOAT_EQ(smooth_progress(0, 1, 0.02f), 0.1f);
  EXPECT_FLOAT_EQ(smooth_progress(0.5f, NAN, 0.02f), 0.5f);
  EXPECT_FLOAT_EQ(smooth_progress(0.5f, 2, 1), 1);
  stg.file_fraction = -0.01f;
  EXPECT_EQ(file_percent(in), 0);
  stg.file_fraction = 0.426f;
  EXPECT_EQ(file_percent(in), 42);
}

TEST_F(Engine, ALocalSourceInstallsWithOneStreamAndKeepsADiscsArchives) {
  make_set({set_file("All/a.txt", "a"), set_file("All/b/c.txt", "c"),
            set_file("Linux/run", "r").with_mode(0755).on(3)});
  in.is_net = 0;
  in.is_dvd = 1;
  dvd_path = dir + "m1/www/";
  install();
  EXPECT_EQ(stg.install_error, 0);
  EXPECT_EQ(in.next.all_done, 1);
  expect_tree(in.dest_dir_path);
  EXPECT_TRUE(exists(dir + "m1/www/v1/All/a.txt.zip"));
  EXPECT_EQ(in.next.stream_on[1], 0);
  dvd_path.clear();
}

}  // namespace
