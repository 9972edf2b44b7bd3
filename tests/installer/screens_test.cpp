// The installer's screen and windows: the status line and the message box's
// lines for every state, the destination looked at once per change, and the
// image buttons, the question, terms and preferences windows run in the real
// frame loop (SDL offscreen, Mesa) with input pushed onto SDL's queue.
//
// Contents
//   [SECTION] The status line and the message box
//   [SECTION] Windows in the frame loop
#include <GL/gl.h>
#include <gtest/gtest.h>
#include <SDL2/SDL.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "core/clock.h"
#include "core/constants.h"
#include "core/globals.h"
#include "draw/colors.h"
#include "draw/text.h"
#include "draw/tman.h"
#include "Files/io_utils.h"
#include "installer/app.h"
#include "installer/builtin_images.h"
#include "installer/fetch.h"
#include "installer/ins_texes.h"
#include "installer/prefs_window.h"
#include "installer/question.h"
#include "installer/screen.h"
#include "installer/start.h"
#include "installer/terms.h"
#include "installer/update/decisions.h"
#include "installer/update/hooks.h"
#include "installer/update/manifest.h"
#include "installer/update/transfer.h"
#include "net/down_class.h"
#include "net/http.h"
#include "platform/frame.h"
#include "platform/gl_hooks.h"
#include "platform/shell.h"
#include "platform/startup.h"
#include "tests/support/installer_window.h"
#include "tests/support/shell_input.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_support.h"
#include "widgets/popup.h"

using testing_support::push_click;
using testing_support::push_quit;
using testing_support::read_file;
using testing_support::run_command;
using testing_support::run_frames;
using testing_support::write_file;

namespace {

// [SECTION] The status line and the message box

TEST(ScreenTexts, TheStatusLineTakesTheFirstStateThatHolds) {
  web_host = "web.test:8080";
  struct {
    status_inputs in;
    const char* starts;
    int colour;
  } cases[] = {
      {{1, -1, dir_fetching, true, false, false, 0}, "INSTALLATION COMPLETE!", 13},
      {{0, -1, dir_fetching, false, false, false, 0}, "Looking for servers", 46},
      {{0, 0, dir_fetching, false, false, false, 0}, "I could not find any servers", 1},
      {{0, 2, dir_fetching, true, false, false, 40}, "None of the servers gave me", 1},
      {{0, 2, dir_fetching, false, false, false, -1},
       "I am checking the net for the latest version of Nimbrel right now, and I am connecting "
       "to the server...",
       46},
      {{0, 2, dir_fetching, false, false, false, 40},
       "I am checking the net for the latest version of Nimbrel right now, and I am 40% done "
       "checking.",
       46},
      {{0, 2, dir_fetched, false, false, false, 0}, "I have downloaded the directory", 46},
      {{0, 2, dir_no_version, false, false, false, 0},
       "I can not find a version of Nimbrel on the net! Grab a new installer from web.test:8080, "
       "or check net service!",
       1},
      {{0, 2, dir_read, false, true, true, 0}, "OK I am installing this now...", 46},
      // A mirror out of reach while installing: how long so far, the next
      // try (rounded up), and the limit.
      {{0, 2, dir_read, false, true, true, 0, 34.6f, 7.2f, 120},
       "Waiting for the server to come back: 34 seconds so far, next try in 8 seconds, giving up "
       "after 2 minutes...",
       46},
      {{0, 2, dir_read, false, true, false, 0, 119.9f, 0, 120},
       "Waiting for the server to come back: 119 seconds so far, trying again now, giving up "
       "after 2 minutes...",
       46},
      {{1, 2, dir_read, false, true, false, 0, 5, 1, 120}, "INSTALLATION COMPLETE!", 13},
      {{0, 2, dir_read, false, false, false, 0, 5, 1, 120},
       "To make the download a LOT faster",
       46},
      {{0, 2, dir_read, false, false, true, 0}, "You have selected an earlier version", 46},
      {{0, 2, dir_read, false, false, false, 0}, "To make the download a LOT faster", 46},
  };
  for (const auto& c : cases) {
    const screen_text got = status_line(c.in);
    EXPECT_EQ(got.text.rfind(c.starts, 0), 0u) << got.text;
    EXPECT_EQ(got.colour, c.colour) << c.starts;
  }
}

// The status line's percentage comes from the manifest's slot: unknown until
// the reply gives a length, then what of it has been written.
TEST(ScreenTexts, TheManifestPercentFollowsItsDownloadSlot) {
  http.slots[kManifestSlot] = nullptr;
  EXPECT_EQ(manifest_percent(), 0);
  // Nothing listens there: the transfer only stands in the slot.
  down_class d("127.0.20.1", 9, "/sets/v2/directory.txt.zip", false, {}, nullptr, 0, nullptr);
  http.slots[kManifestSlot] = &d;
  struct {
    int64_t length, written;
    int percent;
  } cases[] = {{-1, 0, -1},    {0, 0, -1},     {400, 0, 0},
               {400, 100, 25}, {400, 399, 99}, {400, 400, 100}};
  for (const auto& c : cases) {
    d.content_length = c.length;
    d.written = c.written;
    EXPECT_EQ(manifest_percent(), c.percent) << c.written << "/" << c.length;
  }
  http.slots[kManifestSlot] = nullptr;
}

class MessageBox : public ::testing::Test {
 protected:
  void SetUp() override {
    stg = stg_block();
    g_install.reset();
    install_name = "v2";
    crnt_file_name = "a.txt.zip";
    crnt_file_path = "/sets/v2/All/a.txt.zip";
    xtim.act_time = 10.0f;
    xtim.prd_act = 0.02f;
  }
  std::vector<std::string> lines(screen_state& s, std::vector<int>* colours = nullptr) {
    screen_text out[3];
    message_lines(s, out);
    std::vector<std::string> texts;
    for (const screen_text& t : out) {
      texts.push_back(t.text);
      if (colours) colours->push_back(t.colour);
    }
    return texts;
  }
};

TEST_F(MessageBox, IdleLinesGiveTheSizesAndTheDiskCheck) {
  screen_state s;
  stg.dir_state = dir_fetching;
  stg.server_count = 2;
  EXPECT_EQ(lines(s)[0], "I am figuring out what the latest version of Nimbrel is right now...");

  stg.dir_state = dir_read;
  EXPECT_EQ(lines(s), (std::vector<std::string>{
                          "Your copy of Nimbrel is already the latest version.",
                          "(Remember, the BETA installer only checks for the latest BETA version, "
                          "and the FULL installer checks only for the latest FULL version of "
                          "Nimbrel).",
                          "This is a full installer."}));

  struct {
    float disk_req, free_kb;
    int start_avail;
    std::vector<std::string> want;
    int colour3, avail;
  } cases[] = {
      {1234,
       5000000,
       0,
       {"You are about to install 1.2 Meg of files to get v2.",
        "You have 5.0 Gig of drive space available for the selected directory.",
        "You may install at will."},
       13,
       1},
      {1234,
       1000,
       1,
       {"You are about to install 1.2 Meg of files to get v2.",
        "You have 1.0 Meg of drive space available for the selected directory.",
        "You don't have enough disk space to install this!"},
       1,
       0},
      // Free space unknown: only the size, and INSTALL as it was.
      {1234, -1, 0, {"You are about to install 1.2 Meg of files to get v2.", "", ""}, 46, 0},
      {1234, -1, 1, {"You are about to install 1.2 Meg of files to get v2.", "", ""}, 46, 1},
  };
  for (const auto& c : cases) {
    stg.disk_req = c.disk_req;
    stg.down_req = c.disk_req / 2;
    s.free_kb = c.free_kb;
    s.disk_space_avail = c.start_avail;
    std::vector<int> colours;
    EXPECT_EQ(lines(s, &colours), c.want);
    EXPECT_EQ(colours[2], c.colour3);
    EXPECT_EQ(s.disk_space_avail, c.avail);
    EXPECT_EQ(s.tot_disk_req, c.disk_req) << "the sizes are taken while idle";
    EXPECT_EQ(s.tot_down_req, c.disk_req / 2);
  }
}

TEST_F(MessageBox, InstallingLinesFollowTheFileAndTheFigures) {
  screen_state s;
  s.tot_disk_req = 2000;
  s.tot_down_req = 1000;
  s.tot_disk_req_str = "2.0 Meg";
  stg.install_phase = phase_installing;
  const struct {
    int action;
    const char* line1;
  } actions[] = {
      {action_deleting, "Deleting a.txt.zip because that file is no longer needed!"},
      {action_downloading,
       "Downloading and installing a.txt.zip, currently 37% done with that file."},
      {action_current,
       "duplicate filename through file a.txt.zip, but not installing it because you already "
       "have this file."},
      {action_skipped,
       "Browsing through file a.txt.zip, but not installing it because you don't need this "
       "file."},
  };
  stg.file_fraction = 0.375f;
  for (const auto& a : actions) {
    stg.file_action = a.action;
    EXPECT_EQ(lines(s)[0], a.line1);
  }
  // Nothing measured yet: no rate, no time line.
  EXPECT_EQ(lines(s)[2], "");

  // Half installed, 500 KB down in 5 s: the bar moves towards it a little
  // each frame; the time line appears once it is past 1 %.
  next.reset_time = 5.0f;
  next.installed_kb = 1000;
  next.finished_kb = 500;
  next.stream_on[0] = next.stream_on[1] = next.stream_on[2] = 1;
  for (int frame = 0; frame < 200; ++frame) lines(s);
  EXPECT_NEAR(s.totl_inst_rat, 0.5f, 0.01f);
  const std::vector<std::string> l = lines(s);
  EXPECT_EQ(l[1],
            "50.0% done with the internet install, having installed 1.0 Meg of 2.0 Meg for "
            "the internet install.");
  EXPECT_EQ(l[2],
            "About 5 seconds left in the install, downloading at 100 kilobytes/second with "
            "3 simultaneous download streams.");

  // Only deletions so far: progress without a rate gives no time.
  next.finished_kb = 0;
  EXPECT_EQ(lines(s)[2], "Downloading at 0 kilobytes/second with 3 simultaneous download streams.");
}

TEST_F(MessageBox, TheEndAndDownloadFailuresTakeTheWholeBox) {
  screen_state s;
  stg.install_phase = phase_ended;
  EXPECT_EQ(lines(s), (std::vector<std::string>{"INSTALLATION COMPLETE!", "", ""}));
  stg.install_error = 1;
  std::vector<int> colours;
  EXPECT_EQ(lines(s, &colours)[0], "The installation was not completed because an error occurred.");
  EXPECT_EQ(colours, (std::vector<int>{69, 69, 69}));
  for (int phase : {phase_idle, phase_installing, phase_ended}) {
    stg.install_phase = phase;
    stg.download_error = 1;
    colours.clear();
    EXPECT_EQ(lines(s, &colours)[0], "I can NOT download the file '/sets/v2/All/a.txt.zip'!");
    EXPECT_EQ(colours, (std::vector<int>{69, 69, 69}));
  }
}

class Destination : public testing_support::TempFolderTest {
 protected:
  Destination() : TempFolderTest("screen-dest") {}
  void TearDown() override {
    xtim.xtim_update();
    TempFolderTest::TearDown();
  }
};

// The folder is listed and the volume asked only when the destination, the
// reading or the install's phase changed, not every frame.
TEST_F(Destination, IsLookedAtOncePerChange) {
  screen_state s;
  stg = stg_block();
  dest_dir_path = dir + "sim/";
  run_command("mkdir -p '" + dest_dir_path + "'");
  look_at_destination(s);
  EXPECT_EQ(s.dest_is_sim, 0);
  EXPECT_GT(s.free_kb, 0.0f);
  for (const char* f : {"Airfoils", "Instructions", "Output", "Resources"})
    run_command("mkdir -p '" + dest_dir_path + f + "'");
  look_at_destination(s);
  EXPECT_EQ(s.dest_is_sim, 0) << "same destination, same reading: not looked at again";
  stg.dir_state = dir_read;
  look_at_destination(s);
  EXPECT_EQ(s.dest_is_sim, 1);
  dest_dir_path = dir;
  look_at_destination(s);
  EXPECT_EQ(s.dest_is_sim, 0);
}

// Space the user frees while the screen shows is seen within a few
// seconds, and INSTALL comes on; not every frame asks the volume.
TEST_F(Destination, FreedSpaceIsSeenWithinAFewSeconds) {
  const std::string disk = dir + "disk";
  testing_support::small_disk small(disk, "2m");
  if (!small.mounted()) GTEST_SKIP() << small.why_not();
  run_command("head -c 1600000 /dev/zero > '" + disk + "/ballast'");
  stg = stg_block();
  stg.dir_state = dir_read;
  stg.disk_req = 1000;
  stg.down_req = 500;
  install_name = "v2";
  dest_dir_path = disk + "/Nimbrel/";
  screen_state s;
  auto install_enabled_at = [&](float now) {
    xtim.act_time = now;
    look_at_destination(s);
    screen_text out[3];
    message_lines(s, out);
    return s.disk_space_avail;
  };
  EXPECT_EQ(install_enabled_at(50), 0) << "about 500 KB free for 1 MB";
  run_command("rm '" + disk + "/ballast'");
  EXPECT_EQ(install_enabled_at(50 + kFreeSpaceRecheck / 2), 0) << "not asked again yet";
  EXPECT_EQ(install_enabled_at(50 + kFreeSpaceRecheck), 1);
  EXPECT_GT(s.free_kb, 2000.0f);
}

TEST(TermsText, LinesFitTheWidthAndKeepEveryWordAndGap) {
  const std::string text = t_terms_txt;
  ASSERT_GT(text.size(), 500u);
  const std::vector<std::string> lines = terms_lines(text, 300);
  EXPECT_EQ(lines[0], "NIMBREL TERMS OF USE");
  EXPECT_EQ(lines[1], "") << "a paragraph's gap stays";
  std::string words_in, words_out;
  for (char c : text) words_in += c == '\n' ? ' ' : c;
  for (const std::string& l : lines) {
    EXPECT_LE(OGL_string_width(l, charset_ui), 300.0f) << l;
    words_out += l + " ";
  }
  auto squeeze = [](std::string s) {
    std::string out;
    for (char c : s)
      if (c != ' ' || (!out.empty() && out.back() != ' ')) out += c;
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
  };
  EXPECT_EQ(squeeze(words_out), squeeze(words_in));
  EXPECT_EQ(terms_lines("a-word-far-wider-than-any-line b", 20),
            (std::vector<std::string>{"a-word-far-wider-than-any-line", "b"}));
}

// [SECTION] Windows in the frame loop

class Windows : public testing_support::TempFolderTest {
 protected:
  Windows() : TempFolderTest("screen-windows", with_log) {}

  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(TempFolderTest::SetUp());
    const char* error = "";
    ASSERT_TRUE(testing_support::open_installer_window(1024, 768, &error)) << error;
    close_requested = 0;
    app_done = 0;
    stg = stg_block();
    stg.download_os = platform_linux;
    g_install.reset();
    terms_reset();
    screen_reset();
    temp_path = dir + "tmp/";
    run_command("mkdir -p '" + temp_path + "'");
  }
  void TearDown() override {
    close_requested = 0;
    app_done = 0;
    engine_hooks_reset();
    testing_support::close_shell_window();
    TempFolderTest::TearDown();
  }

  // A press in a window whose lower-left corner is at (ox, oy), pushed while
  // window 0 is current, for the frame after the window opened.
  static void click_in(float x, float y, float ox, float oy) { push_click(x + ox, y + oy); }
  // The pixel of the back buffer at (x, y) of window 0.
  static std::vector<int> pixel(int x, int y) {
    unsigned char p[4];
    glReadBuffer(GL_BACK);
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
    return {p[0], p[1], p[2]};
  }
  // Texel (u, v) of the button atlas, times a tint.
  static std::vector<int> atlas(int u, int v, float r = 1, float g = 1, float b = 1) {
    const unsigned char* t = t_installer_dat + (size_t(v) * 1010 + u) * 4;
    return {int(t[0] * r + 0.5f), int(t[1] * g + 0.5f), int(t[2] * b + 0.5f)};
  }
};

void expect_near(const std::vector<int>& got, const std::vector<int>& want, const char* what) {
  for (int i = 0; i < 3; ++i)
    EXPECT_NEAR(got[i], want[i], 2)
        << what << " channel " << i << ": " << got[0] << "," << got[1] << "," << got[2] << " for "
        << want[0] << "," << want[1] << "," << want[2];
}

TEST_F(Windows, ImageButtonsDrawTheirLooksAndTakePressesOnTheirEdges) {
  MACIBM_startwind(wind_main);
  mnw.mouse_down = 0;
  mnw.mouse_held = 0;
  mnw.mouse_x = mnw.mouse_y = 900;  // away
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  EXPECT_EQ(interface_rect(100, 100, 918, 166, 59, 22, 1, 1), 0);
  expect_near(pixel(106, 103), atlas(924, 169, 0.8f, 1, 0.8f), "AGREE, green");
  interface_rect(200, 100, 918, 166, 59, 22, 1, 2);
  expect_near(pixel(206, 103), atlas(924, 169, 1, 0.8f, 0.8f), "AGREE, red");
  mnw.mouse_x = 210, mnw.mouse_y = 110;
  interface_rect(200, 100, 918, 166, 59, 22, 1, 0);
  expect_near(pixel(206, 103), atlas(924, 169 - 23), "hover: one look down");
  mnw.mouse_held = 1;
  interface_rect(200, 100, 918, 166, 59, 22, 1, 0);
  expect_near(pixel(206, 103), atlas(924, 169 - 46), "held: two looks down");
  interface_rect(200, 100, 918, 166, 59, 22, 0, 0);
  expect_near(pixel(206, 103), atlas(924, 169), "no hover: always the normal look");
  interface_icon(300, 300, 21);
  expect_near(pixel(332, 332), atlas(320 + 32, 194 + 32), "icon 21: column 5, third row");

  mnw.mouse_down = 1;
  const struct {
    float x, y;
    int hover, got;
  } presses[] = {
      {100, 100, 1, 1},    {159, 122, 1, 1},  // the lower-left and the upper-right corners
      {159, 110, 0, 1},                       // no hover (a disabled button) still reports
      {159.5f, 110, 1, 0}, {130, 122.5f, 1, 0}, {99.5f, 110, 1, 0},
  };
  for (const auto& p : presses) {
    mnw.mouse_x = p.x, mnw.mouse_y = p.y;
    EXPECT_EQ(interface_rect(100, 100, 918, 166, 59, 22, p.hover, 1), p.got) << p.x << "," << p.y;
  }
  mnw.mouse_down = 0;
  mnw.mouse_x = 130, mnw.mouse_y = 110;
  EXPECT_EQ(interface_rect(100, 100, 918, 166, 59, 22, 1, 1), 0) << "no press, no click";
}

// The window of 700 x 146 sits centred: its corner at (162, 311).
TEST_F(Windows, TheQuestionWindowAnswersWithTheButtonPressed) {
  const struct {
    float x, y;
    int answer;
  } buttons[] = {{96, 53, answer_act},
                 {96, 28, answer_keep},
                 {308, 53, answer_act_all},
                 {308, 28, answer_keep_all},
                 {584, 28, answer_cancel}};
  for (int deleting = 0; deleting < 2; ++deleting)
    for (const auto& b : buttons) {
      click_in(b.x, b.y, 162, 311);
      EXPECT_EQ(question_window("/dest/Resources/a.txt", deleting), b.answer) << b.x << "," << b.y;
      EXPECT_EQ(mnw.cur_window, wind_main);
    }
  // No close box: a press in a corner is no answer; closing the program is.
  click_in(10, 140, 162, 311);
  push_quit();
  EXPECT_EQ(question_window("/dest/Resources/a.txt", 0), answer_cancel);
  EXPECT_EQ(mnw.cur_window, wind_main);
  EXPECT_NE(log().find("Answered: KEEP EVERY OLD FILE IN THIS DIRECTORY"), std::string::npos);
}

// The wheel over the terms panel scrolls by three lines, never past the
// point where the last line shows at the bottom, nor before the first.
TEST_F(Windows, TheTermsScrollWithTheWheelUpToTheirLastLine) {
  MACIBM_startwind(wind_terms);
  ASSERT_EQ(mnw.cur_window, wind_terms);
  mnw.mouse_down = mnw.mouse_held = 0;
  const std::vector<std::string> long_text(100, "a line of the terms");
  auto scroll = [](const std::vector<std::string>& lines, int first, int wheel, float y = 150) {
    mnw.mouse_x = 100, mnw.mouse_y = y;
    mnw.wheel = wheel;
    terms_panel(lines, &first);
    mnw.wheel = 0;
    return first;
  };
  EXPECT_EQ(scroll(long_text, 0, -1), 3) << "towards the user: later lines";
  EXPECT_EQ(scroll(long_text, 10, 2), 4);
  EXPECT_EQ(scroll(long_text, 2, 5), 0);
  EXPECT_EQ(scroll(long_text, 10, -1, 20), 10) << "the wheel below the panel";
  const int last = scroll(long_text, 0, -100);
  const int visible = 100 - last;
  EXPECT_GT(visible, 10);
  EXPECT_LT(visible, 30);
  // The panel holds `visible` lines: one more is the first text to scroll.
  EXPECT_EQ(scroll(std::vector<std::string>(visible, "x"), 0, -1), 0);
  EXPECT_EQ(scroll(std::vector<std::string>(visible + 1, "x"), 0, -1), 1);
  EXPECT_EQ(scroll(std::vector<std::string>(3, "x"), 5, 0), 0)
      << "a text that fits starts at its top";
  MACIBM_startwind(wind_main);
}

// What INSTALL starts, in its order: the terms, then the decisions, then
// the folders. The terms window (500 x 300) sits with its corner at
// (262, 234).
TEST_F(Windows, InstallAsksTheTermsThenDecidesThenMakesTheFolders) {
  const std::string dest = dir + "dest/";
  dest_dir_path = dest;
  const std::string framework = dest + "Resources/plugins/VYKO.framework/Versions/";
  run_command("mkdir -p '" + framework + "Current' && echo mine > '" + dest + "Resources/a.txt'");
  const std::string md5 = testing_support::md5sum_of("upstream\n");
  write_file(dir + "directory.txt",
             "I\n900 version\nINSTALLER\n\nDIR All/Resources/\nFILE 0 0 90017 1 1 " + md5 +
                 " a.txt\nDIR All/Resources/sub/\nFILE 0 0 90017 1 1 " + md5 + " b.txt\n");
  ASSERT_EQ(read_directory(g_install, dir + "directory.txt", "t"), dir_read) << manifest_problem;

  static std::string s_dest;
  static int s_asked;
  static bool s_folder_then;
  s_dest = dest;
  s_asked = 0;
  g_engine_hooks.select_alert = [](const std::string&, int) {
    ++s_asked;
    s_folder_then = dir_exists(s_dest + "Resources/sub/") != 0;
    return s_asked == 1 ? answer_cancel : answer_keep;
  };
  auto nothing_changed = [&](const char* when) {
    EXPECT_EQ(stg.install_phase, phase_idle) << when;
    EXPECT_FALSE(dir_exists(dest + "Resources/sub/")) << when;
    EXPECT_FALSE(dir_exists(dest + "Output/")) << when;
    EXPECT_TRUE(dir_exists(framework + "Current/")) << when << ": the framework entry stays";
  };

  click_in(300 + 40, 10 + 11, 262, 234);  // DECLINE
  APP_start_install();
  nothing_changed("declined");
  EXPECT_EQ(s_asked, 0) << "no decision before the terms are agreed";

  click_in(12, 290, 262, 234);  // the close box
  APP_start_install();
  nothing_changed("closed");

  push_quit();
  APP_start_install();
  nothing_changed("the program closing");
  close_requested = 0;

  click_in(400 + 30, 10 + 11, 262, 234);  // AGREE, then cancel at the question
  APP_start_install();
  nothing_changed("cancelled at the question");
  EXPECT_EQ(s_asked, 1);

  // Agreed once in the run: no window any more. The question comes before
  // any folder is made.
  const int frames = xtim.frame_count;
  APP_start_install();
  EXPECT_EQ(xtim.frame_count, frames) << "no terms window a second time";
  EXPECT_EQ(s_asked, 2);
  EXPECT_FALSE(s_folder_then);
  EXPECT_EQ(stg.install_phase, phase_installing);
  EXPECT_TRUE(dir_exists(dest + "Resources/sub/"));
  EXPECT_TRUE(dir_exists(dest + "Output/logbooks/"));
  EXPECT_TRUE(dir_exists(framework + "_Current/"));
  EXPECT_EQ(read_file(dest + "Resources/a.txt"), "mine\n");
  const std::string text = log();
  EXPECT_LT(text.find("The terms were declined."), text.find("The terms were agreed to."));
  reset_streams(g_install);
}

// A large manifest is read over many frames, each of them short; QUIT ends
// the program in the middle of it.
TEST_F(Windows, ALargeManifestIsReadOverShortFramesAndQuitEndsItAtOnce) {
  std::string body = "I\n900 version\nINSTALLER\n\n";
  for (int i = 0; i < 200000; ++i) {
    if (i % 1000 == 0) body += "DIR All/Resources/gone" + std::to_string(i / 1000) + "/\n";
    body += "FILE 0 0 90017 0 0 GONE old-file-" + std::to_string(i) + ".dat\n";
  }
  write_file(manifest_file(), body);
  dest_dir_path = dir + "dest/";
  run_command("mkdir -p '" + dest_dir_path + "'");
  stg.server_count = 1;
  stg.server_index = 0;
  stg.dir_state = dir_fetched;
  const auto update = g_app_hooks.update;
  g_app_hooks.update = APP_update;

  double longest = 0, whole = 0;
  int scanning_frames = 0, stage = 0;
  for (int frame = 0; frame < 2000 && stage == 0; ++frame) {
    const uint64_t t0 = xtim_class::microsecs();
    MACIBM_event_proc();
    const double took = (xtim_class::microsecs() - t0) * 1e-6;
    longest = std::max(longest, took);
    whole += took;
    dir_read_progress(g_install, &stage, nullptr, nullptr, nullptr);
    if (stage == 0) ++scanning_frames;
  }
  EXPECT_GT(scanning_frames, 3);
  EXPECT_EQ(stage, 1) << "examining now";
  // No frame takes more than a small part of the scan (a share, not seconds:
  // the machine may be busy).
  EXPECT_LT(longest, whole / 3) << scanning_frames << " frames scanning";
  push_click(960 + 25, 78 + 11);  // QUIT
  MACIBM_event_proc();
  EXPECT_EQ(app_done, 1);
  dir_read_progress(g_install, &stage, nullptr, nullptr, nullptr);
  EXPECT_EQ(stage, -1) << "the reading stopped with the program";

  g_app_hooks.update = update;
  sim_info.clear();
}

// The preferences window (600 x 380, corner at (212, 194)). Each round
// pushes its input and a close request, so the window runs one frame with
// the input and closes after it.
TEST_F(Windows, PreferencesTakeTheStreamsTheProxyPortAndKeepThePlatformWhileInstalling) {
  const struct {
    const char* typed;
    int port;
  } ports[] = {{"8080", 8080}, {"65535", 65535}, {"65536", 0}, {"0", 0}, {"-80", 0}};
  for (const auto& p : ports) EXPECT_EQ(proxy_port_number(p.typed), p.port) << p.typed;

  stg.stream_count = 0;
  click_in(30, 153, 212, 194);  // the manual streams box
  push_quit();
  handle_prefs();
  EXPECT_EQ(mnw.cur_window, wind_main);
  EXPECT_EQ(stg.stream_count, 1) << "ticked: one stream, so the setting sticks";
  close_requested = 0;

  click_in(30, 153, 212, 194);
  push_quit();
  handle_prefs();
  EXPECT_EQ(stg.stream_count, 0) << "unticked: automatic";
  close_requested = 0;

  // The host field takes the keys first; Tab moves them to the port.
  http.proxy_port = "";
  http.proxy_port_int = 3128;
  for (const char* typed : {"99999", ""}) {
    testing_support::push_keystroke(SDL_SCANCODE_TAB);
    if (*typed) testing_support::push_text(typed);
    push_quit();
    handle_prefs();
    close_requested = 0;
  }
  EXPECT_EQ(http.proxy_port, "99999");
  EXPECT_EQ(http.proxy_port_int, 0) << "a port out of range is no proxy";

  // The platform pop-up opens while idle, never while an install runs: a
  // press on it, and two frames later a look at whether its list is open.
  for (int phase : {phase_idle, phase_installing}) {
    stg.install_phase = phase;
    int opened = -1;
    run_frames({[] { push_click(210, 315); }, [] {},
                [&opened] {
                  opened = active_popup_code != 0;
                  push_quit();
                }},
               handle_prefs);
    EXPECT_EQ(opened, phase == phase_idle ? 1 : 0) << "phase " << phase;
    EXPECT_EQ(stg.download_os, platform_linux);
    close_requested = 0;
  }
}

}  // namespace
