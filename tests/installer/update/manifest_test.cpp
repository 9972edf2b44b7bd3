// The manifest reader: fixture manifests read into histories (numbers,
// clamps, GONE lines, the net-only filter), unusable and newer manifests,
// paths that could leave the destination, and the examination of a
// destination compared with md5sum, on one thread and on the workers.
//
// Contents
//   [SECTION] Reading
//   [SECTION] The examination
//   [SECTION] Queries and the written form
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "core/clock.h"
#include "core/globals.h"
#include "core/threads/threads.h"
#include "installer/update/hooks.h"
#include "installer/update/install.h"
#include "installer/update/manifest.h"
#include "installer/update/transfer.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_support.h"

using testing_support::read_file;
using testing_support::run_command;
using testing_support::write_file;

#ifdef NIMBREL_NO_ALLOCATOR
// The sanitizer runtimes' count (GCC ships no header for it).
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#else
#include <mimalloc.h>
#endif

namespace {

// Bytes the allocator has handed out to this thread and not had back.
size_t heap_in_use() {
#ifdef NIMBREL_NO_ALLOCATOR
  return __sanitizer_get_current_allocated_bytes();
#else
  size_t bytes = 0;
  mi_heap_visit_blocks(
      mi_heap_get_default(), true,
      [](const mi_heap_t*, const mi_heap_area_t* area, void* block, size_t, void* arg) {
        if (block) *static_cast<size_t*>(arg) += area->full_block_size;
        return true;
      },
      &bytes);
  return bytes;
#endif
}

const std::string kHeader = "I\n900 version\nINSTALLER\n\n";
const std::string A(32, 'a'), B(32, 'b'), C(32, 'c');

// The MD5 of a file as md5sum computes it.
std::string md5sum_of_file(const std::string& path) {
  return run_command("md5sum < '" + path + "' | cut -c1-32").substr(0, 32);
}

class Manifest : public testing_support::TempFolderTest {
 protected:
  Manifest() : TempFolderTest("manifest", with_log) {}
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(TempFolderTest::SetUp());
    in.dest_dir_path = dir + "dest/";
    mkdir(in.dest_dir_path.c_str(), 0755);
    stg.download_os = platform_linux;
    stg.down_req = stg.disk_req = 0;
    engine_hooks_reset();
  }
  void TearDown() override {
    in.reset();
    engine_hooks_reset();
    TempFolderTest::TearDown();
  }
  // Writes the manifest and reads it against dest_dir_path.
  int read(const std::string& body, int mode = dir_read_install) {
    write_file(dir + "directory.txt", body);
    return read_directory(in, dir + "directory.txt", "title", mode);
  }
  // Every record as "path|type|platform|version|zip|ext|sig", histories
  // separated by "/ ".
  std::string dump() const {
    std::string out;
    for (const file_history_struct& h : in.sim_info) {
      for (const file_version_struct& r : h)
        out += r.path + "|" + std::to_string(r.type) + "|" + std::to_string(r.platform) + "|" +
               std::to_string(r.version) + "|" + std::to_string(int(r.zip_size)) + "|" +
               std::to_string(int(r.ext_size)) + "|" + r.sig_want.substr(0, 4) + " ";
      out += "/ ";
    }
    return out;
  }
  // The install the manifest is read into, reporting through the program's block.
  install_state in{stg};
};

// [SECTION] Reading

TEST_F(Manifest, ReadsHistoriesFieldsAndTheNumberRule) {
  struct {
    const char* name;
    std::string body;
    std::string want;
  } cases[] = {
      {"one history per path, oldest first; a path seen again later starts a new one",
       "DIR All/Resources/\nFILE 0 0 90010 3 7 " + A + " a b.txt\nFILE 0 0 90017 4 8 " + B +
           " a b.txt\nFILE 0 3 90017 1 2 " + C + " c\nDIR All/\nFILE 0 0 1 0 0 GONE x\n" +
           "DIR All/Resources/\nFILE 0 0 2 5 6 " + A + " a b.txt\n",
       "All/Resources/a b.txt|0|0|90010|3|7|aaaa All/Resources/a b.txt|0|0|90017|4|8|bbbb / "
       "All/Resources/c|0|3|90017|1|2|cccc / All/x|0|0|1|0|0|GONE / "
       "All/Resources/a b.txt|0|0|2|5|6|aaaa / "},
      {"DIRX and FILEX lines are ignored; FILE and DIR followed by a tab count",
       "DIRX Linux/\nDIR\tAll/\nFILEX 0 0 1 1 1 " + A + " no\nFILE\t0 0 1 1 1 " + A + " yes\n",
       "All/yes|0|0|1|1|1|aaaa / "},
      {"-+3 reads as 3; 9 and 9 clamp to 4 and 6; 1a is 59, clamped to 4",
       "DIR All/\nFILE -+3 9 -+7 1 1 " + A + " p\nFILE 1a -5 12 1 1 " + B + " q\n",
       "All/p|3|6|7|1|1|aaaa / All/q|4|0|12|1|1|bbbb / "},
      {"files the internet install never carries are dropped by name, not by folder",
       "DIR All/900 red terrain/\nFILE 0 0 1 1 1 " + A + " kept\nFILE 0 0 1 1 1 " + B +
           " x 900 red terrain.png\nFILE 0 0 1 1 1 " + C + " Zudad Izuvi Darurezi.dsf\n",
       "All/900 red terrain/kept|0|0|1|1|1|aaaa / "},
      {"CR LF line ends and blanks around fields",
       "  DIR All/f/\r\n\r\n  FILE  0  1  5  2  3  " + A + "  name  \r\n",
       "All/f/name  |0|1|5|2|3|aaaa / "},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(read(kHeader + c.body), dir_read) << c.name << ": " << in.manifest_problem;
    EXPECT_EQ(dump(), c.want) << c.name;
  }
}

TEST_F(Manifest, UnusableOrNewerManifestsAreToldApart) {
  const std::string line = "DIR All/\nFILE 0 0 1 1 1 " + A + " f\n";
  struct {
    const char* name;
    std::string text;
    int want;
  } cases[] = {
      {"a captive portal's page", "<!DOCTYPE html><html>Log in first</html>\n", dir_fetching},
      {"an empty body", "", dir_fetching},
      {"a cut header", "I\n900 vers", dir_fetching},
      {"the wrong kind", "I\n900 version\nSERVERS\n" + line, dir_fetching},
      {"an older version we never read", "I\n839 version\nINSTALLER\n" + line, dir_fetching},
      {"a newer version", "I\n901 version\nINSTALLER\n" + line, dir_no_version},
      {"version 840, CR LF and the other byte order's mark",
       "A\r\n840 version\r\nINSTALLER\r\n" + line, dir_read},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(read(c.text, dir_read_builder), c.want) << c.name;
    EXPECT_EQ(in.sim_info.empty(), c.want != dir_read) << c.name;
  }
}

TEST_F(Manifest, PathsSignaturesAndSizesThatCouldDoHarmMakeItUnusable) {
  // One character more than a local path may hold.
  const std::string long_name(500 - in.dest_dir_path.size(), 'n');
  struct {
    std::string dir, line;
  } cases[] = {
      {"All/../", "0 0 1 1 1 " + A + " escape"},
      {"All/", "0 0 1 1 1 " + A + " .."},
      {"All/./", "0 0 1 1 1 " + A + " dot"},
      {"All//", "0 0 1 1 1 " + A + " empty"},
      {"/etc/", "0 0 1 1 1 " + A + " passwd"},
      {"Beos/", "0 0 1 1 1 " + A + " unknown platform"},
      {"", "0 0 1 1 1 " + A + " bare"},
      {"All/", "0 0 1 1 1 " + A + " back\\slash"},
      {"All/", "0 0 1 1 1 " + A + " bell\x07"},
      {"All/", "0 0 1 1 1 " + A + " " + long_name},
      {"All/", "0 0 1 1 1 NONE missing-counts-as-current"},
      {"All/", "0 0 1 1 1 " + std::string(32, 'A') + " upper-case"},
      {"All/", "0 0 1 1 1 " + std::string(31, 'a') + " short"},
      {"All/", "0 0 1 -1 1 " + A + " negative"},
      {"All/", "0 0 1 1 -1 " + A + " negative"},
      {"All/", "0 0 1 18446744073709551615 1 " + A + " wraps-negative"},
      {"All/", "0 0 1 1 " + std::to_string(kManifestMostKB + 1) + " " + A + " too-large"},
  };
  for (const auto& c : cases) {
    std::string body = kHeader + "DIR All/\nFILE 0 0 1 1 1 " + B + " fine\nDIR " + c.dir +
                       "\nFILE " + c.line + "\n";
    EXPECT_EQ(read(body), dir_fetching) << c.dir << c.line;
    EXPECT_TRUE(in.sim_info.empty()) << c.dir << c.line;
    EXPECT_FALSE(in.manifest_problem.empty()) << c.dir << c.line;
  }
  // Sizes are whole 64-bit numbers, up to what a byte count can hold.
  EXPECT_EQ(read(kHeader + "DIR All/\nFILE 0 0 1 4294967295 " + std::to_string(kManifestMostKB) +
                 " " + A + " huge\n"),
            dir_read);
  ASSERT_EQ(in.sim_info.size(), 1u);
  EXPECT_EQ(in.sim_info[0][0].zip_size, 4294967295);
  EXPECT_EQ(in.sim_info[0][0].ext_size, kManifestMostKB);
  // One character less fits.
  EXPECT_EQ(read(kHeader + "DIR All/\nFILE 0 0 1 1 1 " + A + " " + long_name.substr(1) + "\n"),
            dir_read);
  EXPECT_NE(log().find("is unusable: a \".\" or \"..\" component: All/../escape"),
            std::string::npos);
}

TEST_F(Manifest, APathWithoutAFileOrAMissingManifestEndsTheRun) {
  EXPECT_EXIT(read(kHeader + "DIR All/x/\nFILE 0 0 1 1 1 " + A + " \n"), testing::ExitedWithCode(1),
              "found a path that has no file");
  EXPECT_EXIT(read_directory(in, dir + "nothing.txt", "t"), testing::ExitedWithCode(1),
              "I tried to read a directory file that does not exist!");
}

// The reader only answers: telling the user is the frame's (the fetch's
// tests show the message).
TEST_F(Manifest, NewerManifestIsOnlyAnsweredNeverShown) {
  app_done = 0;
  stg.install_phase = phase_idle;
  const std::string newer = "I\n901 version\nINSTALLER\n\n";
  for (int mode : {dir_read_builder, dir_read_install}) {
    EXPECT_EQ(read(newer, mode), dir_no_version) << mode;
    EXPECT_TRUE(in.sim_info.empty()) << mode;
  }
  EXPECT_EQ(app_done, 0);
  EXPECT_EQ(stg.install_phase, phase_idle);
  EXPECT_NE(log().find("has version 901, newer than we read.\n"), std::string::npos);
  EXPECT_EQ(log().find("In other words, you need to get a new installer!"), std::string::npos);
}

// [SECTION] The examination

// What is installed, by exact name, against the manifest.

TEST_F(Manifest, ExaminesTheDestinationByExactNameAndSumsWhatIsWanted) {
  const std::string d = in.dest_dir_path;
  run_command("mkdir -p '" + d + "Res' && printf current > '" + d +
              "Res/current.txt' && "
              "printf older > '" +
              d + "Res/older.txt' && printf mine > '" + d +
              "Res/mine.txt' && "
              "printf 'other case' > '" +
              d + "Res/CASE.txt' && ln -s ../Res/current.txt '" + d + "Res/link' && mkfifo '" + d +
              "Res/fifo' && printf gone > '" + d + "Res/gone.txt'");
  const std::string current = testing_support::md5sum_of("current"),
                    older = testing_support::md5sum_of("older");
  const std::string link_sig = testing_support::md5sum_of("../Res/current.txt");
  std::string body = kHeader + "DIR All/Res/\n" +                        //
                     "FILE 0 0 1 10 20 " + current + " current.txt\n" +  // up to date
                     "FILE 0 0 1 10 20 " + older + " older.txt\n" +      // an older release
                     "FILE 0 0 2 11 21 " + A + " older.txt\n" +          //
                     "FILE 0 0 1 12 22 " + A + " mine.txt\n" +           // changed by the user
                     "FILE 0 0 1 13 23 " + B + " case.txt\n" +           // only CASE.txt there
                     "FILE 0 3 1 14 24 " + link_sig + " link\n" +        // a link, current
                     "FILE 0 0 1 15 25 " + C + " fifo\n" +               // not a file
                     "FILE 0 0 1 16 26 GONE gone.txt\n" +                // gone
                     "DIR Windows/Res/\nFILE 0 2 1 17 27 " + A + " win.exe\n" +  // other platform
                     "DIR Linux/Res/\nFILE 0 3 1 18 28 " + A + " nimbrel\n";     // Linux, missing
  ASSERT_EQ(read(body), dir_read) << in.manifest_problem;
  struct {
    const char* file;
    std::string have;
    int same;
  } want[] = {{"current.txt", current, 1}, {"older.txt", older, 0}, {"mine.txt", "mine", 0},
              {"case.txt", "NONE", 0},     {"link", link_sig, 1},   {"fifo", "NONE", 0},
              {"gone.txt", "gone", 0},     {"win.exe", "NONE", 0},  {"nimbrel", "NONE", 0}};
  ASSERT_EQ(in.sim_info.size(), 9u);
  for (size_t i = 0; i < in.sim_info.size(); ++i) {
    const file_version_struct& r = in.sim_info[i].back();
    std::string have = want[i].have;
    if (have == "mine" || have == "gone") have = md5sum_of_file(d + "Res/" + want[i].file);
    EXPECT_EQ(r.sig_have, have) << want[i].file;
    EXPECT_EQ(r.same, want[i].same) << want[i].file;
  }
  // Wanted and not current: older, mine, case, fifo, nimbrel (not gone, not win.exe).
  EXPECT_FLOAT_EQ(stg.down_req, 11 + 12 + 13 + 15 + 18);
  EXPECT_FLOAT_EQ(stg.disk_req, 21 + 22 + 23 + 25 + 28);
  EXPECT_EQ(in.this_install_has_exes, 1);  // the Linux program

  // A second reading starts from empty sums; the executables flag stays.
  EXPECT_EQ(read(kHeader + "DIR All/Res/\nFILE 0 0 1 10 20 " + current + " current.txt\n"),
            dir_read);
  EXPECT_EQ(in.sim_info.size(), 1u);
  EXPECT_FLOAT_EQ(stg.down_req, 0);
  EXPECT_EQ(in.this_install_has_exes, 1);
  // The builder's reading examines nothing.
  EXPECT_EQ(read(body, dir_read_builder), dir_read);
  EXPECT_EQ(in.sim_info[0].back().sig_have, "");
}

TEST_F(Manifest, ExaminationOnTheWorkersGivesTheSameResultsInOrder) {
  std::string body = kHeader + "DIR All/many/\n";
  run_command("mkdir -p '" + in.dest_dir_path + "many'");
  const int n = 600;
  // Some missing, the rest of assorted sizes; half of the present ones current.
  for (int i = 0; i < n; ++i)
    if (i % 7)
      write_file(in.dest_dir_path + "many/f" + std::to_string(i),
                 std::string(size_t(i) * 97, char(i)));
  std::map<std::string, std::string> md5sum;
  std::istringstream lines(run_command("cd '" + in.dest_dir_path + "many' && md5sum *"));
  for (std::string sig, name; lines >> sig >> name;) md5sum[name] = sig;
  for (int i = 0; i < n; ++i) {
    const std::string name = "f" + std::to_string(i);
    body += "FILE 0 0 1 " + std::to_string(i % 13) + " " + std::to_string(i % 17) + " " +
            (i % 2 && md5sum.count(name) ? md5sum[name] : A) + " " + name + "\n";
  }
  static std::vector<float> values;
  values.clear();
  g_engine_hooks.dir_progress = [](float, float value, float hi, int stage, const std::string&,
                                   const std::string&) {
    if (stage == 1) values.push_back(value / hi);
  };
  ASSERT_EQ(read(body), dir_read);
  std::vector<std::string> alone;
  for (const file_history_struct& h : in.sim_info) alone.push_back(h.back().sig_have);
  const float down = stg.down_req, disk = stg.disk_req;
  const size_t drawn_alone = values.size();

  THREAD_init();
  THREAD_make_workers();
  ASSERT_GT(THREAD_worker_count(), 0);
  values.clear();
  ASSERT_EQ(read(body), dir_read);
  for (int i = 0; i < n; ++i)
    EXPECT_EQ(in.sim_info[size_t(i)].back().sig_have, alone[size_t(i)]) << i;
  EXPECT_EQ(stg.down_req, down);
  EXPECT_EQ(stg.disk_req, disk);
  for (int i = 0; i < n; ++i) {
    const std::string name = "f" + std::to_string(i);
    EXPECT_EQ(alone[size_t(i)], md5sum.count(name) ? md5sum[name] : "NONE") << name;
  }
  // The panel moves forward only, about 200 times at most.
  EXPECT_FALSE(values.empty());
  EXPECT_LE(values.size(), 201u);
  EXPECT_LE(drawn_alone, 201u);
  for (size_t i = 1; i < values.size(); ++i) EXPECT_GT(values[i], values[i - 1]);
  THREAD_shutdown();
}

TEST_F(Manifest, FrameStepsReadLikeOneCallAndCanBeStoppedAndRestarted) {
  std::string body = kHeader + "DIR All/\n";
  for (int i = 0; i < 50; ++i) body += "FILE 0 0 1 2 3 " + A + " f" + std::to_string(i) + "\n";
  write_file(dir + "directory.txt", body);
  int state = dir_fetched, frames = 0;
  while (state == dir_fetched && frames < 10000) {
    state = dir_read_step(in, dir + "directory.txt", "t", 0.0);
    ++frames;
  }
  EXPECT_EQ(state, dir_read);
  EXPECT_GT(frames, 1);
  EXPECT_FLOAT_EQ(stg.down_req, 100);
  // A new destination halfway: the next step reads the file again.
  EXPECT_EQ(dir_read_step(in, dir + "directory.txt", "t", 0.0), dir_fetched);
  dir_examine_cancel(in);
  write_file(dir + "directory.txt", kHeader + "DIR All/\nFILE 0 0 1 2 3 " + A + " only\n");
  while ((state = dir_read_step(in, dir + "directory.txt", "t", 0.0)) == dir_fetched) {
  }
  EXPECT_EQ(state, dir_read);
  EXPECT_EQ(in.sim_info.size(), 1u);
  EXPECT_FLOAT_EQ(stg.down_req, 2);
}

TEST_F(Manifest, ALargeManifestIsReadInBoundedFramesWithinABoundedHeap) {
  // A set that dropped 300,000 files: each a GONE line of its own.
  const size_t kLines = 300000;
  std::string body = kHeader;
  body.reserve(kLines * 40);
  for (size_t i = 0; i < kLines; ++i) {
    if (i % 1000 == 0) body += "DIR All/Resources/gone" + std::to_string(i / 1000) + "/\n";
    body += "FILE 0 0 90017 0 0 GONE old-file-" + std::to_string(i) + ".dat\n";
  }
  write_file(dir + "directory.txt", body);
  const size_t text = body.size();
  body = std::string();
  write_file(in.dest_dir_path + "Resources", "");  // not a folder: nothing is installed

  const size_t before = heap_in_use();
  size_t peak = before;
  double longest = 0, whole = 0;
  int frames = 0, state = dir_fetched;
  std::vector<int> stages;
  double last_value = -1;
  bool forward = true;
  while (state == dir_fetched && frames < 100000) {
    const uint64_t t0 = xtim_class::microsecs();
    state = dir_read_step(in, dir + "directory.txt", "t", 0.01);
    const double took = (xtim_class::microsecs() - t0) * 1e-6;
    longest = std::max(longest, took);
    whole += took;
    peak = std::max(peak, heap_in_use());
    ++frames;
    int stage = 0;
    double value = 0, total = 0;
    std::string detail;
    dir_read_progress(in, &stage, &value, &total, &detail);
    if (stage < 0) break;
    if (stages.empty() || stages.back() != stage) {
      stages.push_back(stage);
      last_value = -1;
    }
    forward &= value >= last_value && value <= total && !detail.empty();
    last_value = value;
  }
  ASSERT_EQ(state, dir_read) << in.manifest_problem;
  EXPECT_EQ(in.sim_info.size(), kLines);
  EXPECT_FLOAT_EQ(stg.down_req, 0);
  // The panel scans the text, then examines the disk, moving forward only.
  EXPECT_EQ(stages, (std::vector<int>{0, 1}));
  EXPECT_TRUE(forward);
  // The work is spread: no frame takes more than a small part of the whole
  // (timed by its share, not in seconds, on a machine that may be busy).
  EXPECT_GT(frames, 10);
  EXPECT_LT(longest, whole / 8) << frames << " frames";
  // A GONE line with its path costs a small record: well under the 400 bytes
  // a line that a record per field and a copy of every path for the
  // examination took.
  const double per_line = double(peak - before) / kLines;
  EXPECT_LT(per_line, 300) << "bytes per line for " << text << " bytes of text";
}

TEST_F(Manifest, QuitStopsTheReadingAtAnyStage) {
  std::string body = kHeader + "DIR All/\n";
  for (int i = 0; i < 100000; ++i) body += "FILE 0 0 1 2 3 " + A + " f" + std::to_string(i) + "\n";
  write_file(dir + "directory.txt", body);
  for (int stop_in : {0, 1}) {
    int stage = -1;
    while (dir_read_step(in, dir + "directory.txt", "t", 0.001) == dir_fetched) {
      dir_read_progress(in, &stage, nullptr, nullptr, nullptr);
      if (stage == stop_in) break;
    }
    ASSERT_EQ(stage, stop_in);
    dir_examine_cancel(in);
    dir_read_progress(in, &stage, nullptr, nullptr, nullptr);
    EXPECT_EQ(stage, -1);
  }
  // The next step reads the file afresh, to its end.
  int state;
  while ((state = dir_read_step(in, dir + "directory.txt", "t", 0.05)) == dir_fetched) {
  }
  EXPECT_EQ(state, dir_read);
  EXPECT_EQ(in.sim_info.size(), 100000u);
  EXPECT_FLOAT_EQ(stg.down_req, 200000);
}

// Installed files of gigabytes (left sparse) hold neither a frame nor QUIT:
// the workers hash them, and stop between two reads.
TEST_F(Manifest, HugeInstalledFilesHoldNoFrameAndNoQuit) {
  THREAD_init();
  THREAD_make_workers();
  ASSERT_GT(THREAD_worker_count(), 0);
  std::string body = kHeader + "DIR All/\n";
  const int kHuge = THREAD_worker_count() + 2;
  for (int i = 0; i < kHuge + 20; ++i) {
    const std::string name = "f" + std::to_string(i);
    write_file(in.dest_dir_path + name, "");
    if (i < kHuge) {
      ASSERT_EQ(truncate((in.dest_dir_path + name).c_str(), off_t(2) << 30), 0);
    }
    body += "FILE 0 0 1 2 3 " + A + " " + name + "\n";
  }
  write_file(dir + "directory.txt", body);
  int stage = 0;
  double longest = 0;
  for (int frame = 0; frame < 20; ++frame) {
    const uint64_t t0 = xtim_class::microsecs();
    ASSERT_EQ(dir_read_step(in, dir + "directory.txt", "t", 0.01), dir_fetched);
    longest = std::max(longest, (xtim_class::microsecs() - t0) * 1e-6);
    dir_read_progress(in, &stage, nullptr, nullptr, nullptr);
  }
  EXPECT_EQ(stage, 1) << "still examining";
  EXPECT_LT(longest, 1.0) << "a frame waited on a file's hash";
  const uint64_t t0 = xtim_class::microsecs();
  dir_examine_cancel(in);
  EXPECT_LT((xtim_class::microsecs() - t0) * 1e-6, 1.0) << "the quit waited on the hashes";
  THREAD_shutdown();
}

TEST_F(Manifest, TextAndLinesBeyondTheCapsAreUnusable) {
  // The text: a file one byte over the cap, left sparse (never read).
  const std::string big = dir + "big.txt";
  write_file(big, kHeader);
  ASSERT_EQ(truncate(big.c_str(), off_t(kManifestTextCap) + 1), 0);
  EXPECT_EQ(read_directory(in, big, "t"), dir_fetching);
  EXPECT_EQ(in.manifest_problem, "a manifest larger than any set of ours");
  unlink(big.c_str());
  // The lines: one past the cap, each as short as a line can be.
  std::string body = kHeader + "DIR All/\n";
  body.reserve(body.size() + (kManifestLineCap + 1) * 24);
  for (size_t i = 0; i <= kManifestLineCap; ++i)
    body += "FILE 0 0 0 0 0 GONE " + std::to_string(i) + "\n";
  std::vector<file_history_struct> out;
  std::string problem;
  manifest_scan_options options;
  EXPECT_EQ(scan_manifest(body.data(), body.data() + body.size(), options, out, &problem, nullptr),
            dir_fetching);
  EXPECT_EQ(problem, "more lines than any set of ours: All/" + std::to_string(kManifestLineCap));
  EXPECT_TRUE(out.empty());
  // At the cap it is read.
  body.resize(body.rfind("FILE"));
  EXPECT_EQ(scan_manifest(body.data(), body.data() + body.size(), options, out, &problem, nullptr),
            dir_read);
  EXPECT_EQ(out.size(), kManifestLineCap);
}

TEST_F(Manifest, ScanningProgressOnEveryFiveHundredthLine) {
  static std::vector<std::string> names;
  names.clear();
  g_engine_hooks.dir_progress = [](float, float, float, int stage, const std::string& title,
                                   const std::string& detail) {
    if (stage == 0) names.push_back(title + ":" + detail);
  };
  std::string body = kHeader + "DIR All/\n";
  for (int i = 0; i < 1001; ++i) body += "FILE 0 0 1 1 1 " + A + " n" + std::to_string(i) + "\n";
  // The count runs over the install's readings: bring it to just past a
  // multiple of 500.
  for (int tries = 0; tries < 500 && names.empty(); ++tries)
    ASSERT_EQ(read(kHeader + "DIR All/\nFILE 0 0 1 1 1 " + A + " probe\n", dir_read_builder),
              dir_read);
  ASSERT_EQ(names.size(), 1u);
  names.clear();
  ASSERT_EQ(read(body, dir_read_builder), dir_read);
  EXPECT_EQ(names, (std::vector<std::string>{"title:n499", "title:n999"}));
}

// [SECTION] Queries and the written form

TEST(ManifestQueries, PlatformFilterHistoryKeysAndWriterLines) {
  install_state in(stg);
  in.sim_info.assign(1, file_history_struct(7));
  for (int p = 0; p < 7; ++p) in.sim_info[0][size_t(p)].platform = p;
  const char* wanted[4] = {"", "1100000", "1010000", "1001001"};  // by download_os, platforms 0..6
  for (int os = 1; os <= 3; ++os) {
    stg.download_os = os;
    std::string got;
    for (int p = 0; p < 7; ++p) got += std::to_string(want_this_f(in, 0, p, 0));
    EXPECT_EQ(got, wanted[os]) << os;
  }
  EXPECT_EQ(want_this_f(in, 0, 0, 1), 0);  // another install type
  EXPECT_EQ(want_this_f(in, 1, 0, 0), 0);  // no such history

  struct {
    const char* path;
    int platform;
    const char* key;
  } keys[] = {{"Windows/a/b", 2, "IBM_os/a/b"},
              {"Windows/a/b", 5, "/a/b"},
              {"All/x", 0, "ALL_os/x"},
              {"Macintosh/x", 1, "APL_os/x"},
              {"Linux/x", 3, "LIN_os/x"}};
  for (const auto& k : keys) {
    std::string p = k.path;
    chop_platform(p, k.platform);
    EXPECT_EQ(p, k.key);
  }
  std::string no_slash = "file";
  EXPECT_EXIT(chop_platform(no_slash, 0), testing::ExitedWithCode(1),
              "Could not find the dir char!");

  // What the builder writes, the reader reads back.
  file_version_struct r;
  r.type = 1, r.platform = 6, r.version = 90017, r.zip_size = 12, r.ext_size = 345;
  r.sig_want = A, r.path = "Linux/Resources/a file.txt";
  const std::string text = "I\n900 version\nINSTALLER\n\n" + manifest_dir_line("Linux/Resources/") +
                           "\n" + manifest_file_line(r) + "\n";
  std::vector<file_history_struct> out;
  ASSERT_EQ(scan_manifest(text.data(), text.data() + text.size(), manifest_scan_options(), out,
                          nullptr, nullptr),
            dir_read);
  ASSERT_EQ(out.size(), 1u);
  const file_version_struct& back = out[0][0];
  EXPECT_EQ(manifest_file_line(back), manifest_file_line(r));
  EXPECT_EQ(back.path, r.path);
  EXPECT_EQ(manifest_file_line(r), "FILE 1 6 90017 12 345 " + A + " a file.txt");
}

}  // namespace
