// The open/save browser on a temporary tree with folders, hidden entries, a
// link and odd names, driven frame by frame: each frame of the browser's own
// loop first pushes the next scripted clicks and keys through SDL's queue.
// Its panels' preview is drawn on a context with the coded atlas and read
// back.
//
// Contents:
//   [SECTION] Scripted frames
//   [SECTION] A hostile tree
//   [SECTION] The preview
#include "widgets/opensave.h"

#include <gtest/gtest.h>
#include <limits.h>
#include <SDL2/SDL.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/globals.h"
#include "platform/frame.h"
#include "tests/draw/draw_fixture.h"
#include "tests/support/shell_input.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_support.h"
#include "tests/widgets/widget_fixture.h"
#include "widgets/hooks.h"

using testing_support::run_command;
using testing_support::write_file;

namespace {

// [SECTION] Scripted frames

std::vector<std::function<void()>> g_script;
size_t g_step = 0;
int g_extra_frames = 0;

// One frame of the browser: the next step's input first. Past the script the
// browser is told to cancel, and after that it is closed from outside.
void scripted_frame() {
  if (g_step < g_script.size()) {
    g_script[g_step++]();
  } else if (++g_extra_frames > 3) {
    MACIBM_startwind(wind_main);
  } else {
    testing_support::push_keystroke(SDL_SCANCODE_ESCAPE);
  }
  MACIBM_event_proc();
}

// Steps of a script, each one frame.
std::function<void()> click(float x, float y) {
  return [=] { testing_support::push_click(x, y); };
}
std::function<void()> key(SDL_Scancode s) {
  return [=] { testing_support::push_keystroke(s); };
}
std::function<void()> text(const char* typed) {
  return [=] { testing_support::push_text(typed); };
}
// A press more than a quarter second after the last is no double click.
std::function<void()> settle() {
  return [] { usleep(300 * 1000); };
}

// The list's rows are 10 apart around its centre row (10, 180); a fresh
// folder of count entries shows entry count / 2 there.
constexpr float kListX = 100;
float row_y(int row, int count) { return 180 - 10.0f * float(row - count / 2); }

class Browser : public testing_support::TempFolderTest {
 protected:
  Browser() : TempFolderTest("opensave") {}

  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(TempFolderTest::SetUp());
    widget_testing::reset_widgets();
    const std::string app = dir + "app/";
    for (const char* folder : {"", "a", "a/deep-er", "a/odd|name", "b", ".hiddendir"})
      ASSERT_EQ(run_command("mkdir -p '" + app + folder + "' && echo ok"), "ok\n");
    for (const char* file : {".hidden", "notes.TXT", "Zeta.txt", "a/odd|name/x.txt", "b/plane.acf",
                             "b/plane_icon.png"})
      write_file(app + file, "x");
    write_file(app + "a/deep-er/trip.fdr", "I\n1 version\nCOMM, a short hop\n");
    ASSERT_EQ(symlink("a", (app + "link").c_str()), 0);
    ASSERT_NE(getcwd(old_cwd_, sizeof old_cwd_), nullptr);
    ASSERT_EQ(chdir(app.c_str()), 0);

    const char* error = "";
    ASSERT_TRUE(testing_support::open_shell_window(1024, 768, &error)) << error;
    // The widget art, as the program has it: once a preview has loaded a
    // file's icon, widgets drawn without it would raise an alert each.
    scratch_dx = scratch_dy = 512;
    ASSERT_EQ(
        tman.load_texture(tex_fail_none, tex_slot_widgets, 2 | tex_flag_full_res | tex_flag_carried,
                          tex_load_now, "scratch_array:browser atlas"),
        tex_slot_widgets);
    g_script.clear();
    g_step = 0;
    g_extra_frames = 0;
    g_widget_hooks.run_frame = scripted_frame;
  }
  void TearDown() override {
    g_widget_hooks.run_frame = MACIBM_event_proc;
    tman.unload_texture(tex_slot_widgets);
    tman.unload_texture(tex_slot_file_icon);
    testing_support::close_shell_window();
    if (chdir(old_cwd_) != 0) ADD_FAILURE() << "cannot go back to " << old_cwd_;
    TempFolderTest::TearDown();
  }

  // Runs the browser over the script; every step must have been used.
  int run(int window, int kind, std::string* path, std::vector<std::function<void()>> script) {
    g_script = std::move(script);
    g_step = 0;
    g_extra_frames = 0;
    const int result = BTN_opensave(window, kind, path);
    EXPECT_EQ(g_step, g_script.size()) << "the browser ended before its script";
    return result;
  }

  char old_cwd_[4096] = {};
};

// The top folder lists a, b, link, notes.TXT, Zeta.txt: hidden entries are
// left out, the link to a folder is a file, case does not sort.
TEST_F(Browser, OpensFoldersClimbsFromAOneLetterFolderAndOpensAFile) {
  std::string path;
  const int top = 5, in_b = 2;
  const int result = run(wind_browse_a, file_any, &path,
                         {settle(), click(kListX, row_y(0, top)),
                          click(kListX, row_y(0, top)),  // a double click opens a/
                          key(SDL_SCANCODE_BACKSPACE),   // back up from "a/"
                          settle(), click(kListX, row_y(1, top)), key(SDL_SCANCODE_RETURN),  // b/
                          settle(), click(kListX, row_y(0, in_b)), key(SDL_SCANCODE_RETURN)});
  EXPECT_EQ(result, 1);
  EXPECT_EQ(path, "b/plane.acf");
  EXPECT_EQ(mnw.cur_window, wind_main);
}

TEST_F(Browser, BreadcrumbsTakeOddNamesAndLeadBackUp) {
  std::string path = "a/odd|name/x.txt";
  // Breadcrumbs: the top, "a", "odd!name" (the one shown); the pop-up's rows
  // run 12 apart downwards with the shown one level with its box at 434.
  const int in_a = 2;
  const int result = run(wind_browse_a, file_any, &path,
                         {click(160, 437), click(150, 449),  // back to "a"
                          settle(), click(kListX, row_y(0, in_a)), key(SDL_SCANCODE_RETURN),
                          key(SDL_SCANCODE_RETURN)});
  EXPECT_EQ(result, 1);
  EXPECT_EQ(path, "a/deep-er/trip.fdr");
}

TEST_F(Browser, ATypedNameIsEditedAndGetsTheKindsExtension) {
  struct {
    int kind;
    const char* typed;
    const char* saved;
  } cases[] = {
      {file_flight, "trip.fdr", "a/deep-er/trip.fdr"},  // nothing to add: kept whole
      {file_text, "notes.txt", "a/deep-er/notes.TXT"},
      {file_aircraft, "abc", "a/deep-er/abc.ACF"},
      {file_aircraft, ".acf", "a/deep-er/.acf.ACF"},  // four characters stay whole
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.typed);
    std::string path = "a/deep-er/old";
    // A slip and a Backspace that the name field takes: it goes up no folder.
    const int result =
        run(wind_browse_b, c.kind, &path,
            {text("x"), key(SDL_SCANCODE_BACKSPACE), text(c.typed), key(SDL_SCANCODE_RETURN)});
    EXPECT_EQ(result, 1);
    EXPECT_EQ(path, c.saved);
  }
}

TEST_F(Browser, CancelAndALostWindowLeaveThePathAlone) {
  MACIBM_startwind(wind_prefs);
  std::string path = "b/plane.acf";
  EXPECT_EQ(run(wind_browse_b, file_aircraft, &path, {text("new"), key(SDL_SCANCODE_ESCAPE)}), 0);
  EXPECT_EQ(path, "b/plane.acf");
  EXPECT_EQ(mnw.cur_window, wind_prefs) << "back in the window it was opened from";

  // An empty save name saves nothing; the window closed from outside ends it.
  EXPECT_EQ(run(wind_browse_b, file_aircraft, &path,
                {key(SDL_SCANCODE_RETURN), [] { MACIBM_startwind(wind_main); }}),
            0);
  EXPECT_EQ(path, "b/plane.acf");
  EXPECT_EQ(mnw.cur_window, wind_main);
}

TEST_F(Browser, BadWindowOrKindEndsTheProgram) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  std::string path;
  EXPECT_EXIT(BTN_opensave(wind_question, file_any, &path), testing::ExitedWithCode(1),
              "Bad open_save arg to BTN_opensave!");
  EXPECT_EXIT(BTN_opensave(wind_browse_a, file_kind_last + 1, &path), testing::ExitedWithCode(1),
              "Bad file_type arg to BTN_opensave!");
}

// [SECTION] A hostile tree

// An aircraft file: the binary header (our byte order, version 900), then as
// much of the vehicle header as given.
std::string aircraft(const std::string& header) {
  std::string bytes = "i";
  const int32_t version = 900;
  bytes.append(reinterpret_cast<const char*>(&version), 4);
  return bytes + header;
}

std::string put(std::string header, size_t at, const std::string& text) {
  if (header.size() < at + text.size()) header.resize(at + text.size());
  header.replace(at, text.size(), text);
  return header;
}

// Folders below base, so that the last one's path is exactly size bytes long
// (with its '/'). Their names hold ".acf", so that a walk down them previews
// every level, but do not end in it, which would list them as aircraft files.
std::string folder_of_length(const std::string& base, size_t size) {
  std::string folder = base;
  for (int level = 0; folder.size() < size; ++level) {
    const size_t left = size - folder.size();
    const size_t n = left <= 250 ? left - 1 : std::min<size_t>(left - 30, 249);
    std::string name = std::to_string(level) + "-";
    name += std::string(n - name.size() - 6, 'L') + ".acf.d";
    folder += name + "/";
    if (mkdir(folder.c_str(), 0755) != 0) return "";
  }
  return folder;
}

std::string repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

// Names that the system takes and the program's own readers, breadcrumbs and
// pop-up do not: each walk previews, enters and opens them over frames, and
// the browser hands back what was picked.
TEST_F(Browser, WalksAHostileTreeAndOpensWhatItPicks) {
  const std::string odd = "slash\\dir.acf.d/odd\xff\n-|/";  // in the breadcrumbs "odd\xff\n !"
  for (const char* folder :
       {"h", "h/slash\\dir.acf.d", "h/slash\\dir.acf.d/odd\xff\n-|", "f", "long"})
    ASSERT_EQ(mkdir(folder, 0755), 0) << folder;
  for (const char* file : {"h/back\\slash.acf", "h/bad\xff\xfe.acf", "h/new\nline.acf",
                           "h/slash\\dir.acf.d/odd\xff\n-|/in.acf", "f/back\\slash.fdr"})
    write_file(file, aircraft(put(std::string(), 1552, "Hostile")));
  // 4,000 bytes to the file at the bottom, under the system's limit even
  // with this test's folder in front.
  ASSERT_LT(dir.size() + 4 + 4000, size_t(PATH_MAX)) << "the temporary folder's path is too long";
  const std::string deep_long = folder_of_length("long/", 4000 - 9);
  ASSERT_EQ(deep_long.size(), 3991u);
  write_file(deep_long + "plane.acf", aircraft(""));
  // 300 levels below the top; a file two levels up from the bottom.
  const std::string deep = "deep/" + repeat("d/", 299);
  ASSERT_EQ(run_command("mkdir -p '" + deep + "' && echo ok"), "ok\n");
  const std::string up_there = "deep/" + repeat("d/", 297);
  write_file(up_there + "here.txt", "x");

  std::vector<std::function<void()>> to_the_bottom;
  // A Return for each level below "long/", one for the file.
  for (char c : deep_long)
    if (c == '/') to_the_bottom.push_back(key(SDL_SCANCODE_RETURN));
  struct {
    const char* what;
    int kind;
    std::string start;
    std::vector<std::function<void()>> script;
    std::string picked;
  } walks[] = {
      // "h/" lists back\slash.acf, bad\xff\xfe.acf, new\nline.acf, slash\dir.acf.d.
      {"every name of h/, then into the folder with a backslash",
       file_aircraft,
       "h/x",
       {settle(), click(kListX, row_y(0, 4)), key(SDL_SCANCODE_DOWN), key(SDL_SCANCODE_DOWN),
        key(SDL_SCANCODE_DOWN), key(SDL_SCANCODE_RETURN), key(SDL_SCANCODE_RETURN),
        key(SDL_SCANCODE_RETURN)},
       "h/" + odd + "in.acf"},
      {"a flight file with a backslash",
       file_flight,
       "f/x",
       {key(SDL_SCANCODE_RETURN)},
       "f/back\\slash.fdr"},
      {"down a 4,000-byte path", file_aircraft, "long/x", to_the_bottom, deep_long + "plane.acf"},
      // Into the 300th level, then two up through the breadcrumbs' pop-up:
      // its last item is the folder shown, the one above it level 298.
      {"300 levels deep and back up",
       file_any,
       deep.substr(0, deep.size() - 2) + "x",
       {key(SDL_SCANCODE_RETURN), click(160, 437), click(150, 449), key(SDL_SCANCODE_RETURN)},
       up_there + "here.txt"},
  };
  for (auto& walk : walks) {
    SCOPED_TRACE(walk.what);
    std::string path = walk.start;
    EXPECT_EQ(run(wind_browse_a, walk.kind, &path, walk.script), 1);
    EXPECT_EQ(path, walk.picked);
  }
}

// [SECTION] The preview

class Preview : public draw_testing::AtlasTest {
 protected:
  Preview() : AtlasTest(600, 480) {}
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(AtlasTest::SetUp());
    widget_testing::reset_widgets();
    dir_ = testing_support::make_temp_dir("preview");
    mnw.window_dx = float(width_);
    mnw.window_dy = float(height_);
    mnw.open_menu = -1;
    for (int c = colr_ui_first; c <= colr_ui_last; ++c) colr.assign(c, 1, 1, 1);
  }
  void TearDown() override {
    tman.unload_texture(tex_slot_file_icon);
    AtlasTest::TearDown();
  }

  // The browser's panels for path, drawn twice: the first pass reads the
  // file, the second is the picture of every later frame.
  void show(const std::string& path) {
    stand_io_dialog(wind_browse_a, file_aircraft, path);
    glClear(GL_COLOR_BUFFER_BIT);
    stand_io_dialog(wind_browse_a, file_aircraft, path);
  }
  // The pixels of a band of the preview panel, rows y0 to y1.
  static std::vector<unsigned char> band(int x0, int x1, int y0, int y1) {
    std::vector<unsigned char> out(size_t(x1 - x0) * size_t(y1 - y0) * 4);
    glReadPixels(x0, y0, x1 - x0, y1 - y0, GL_RGBA, GL_UNSIGNED_BYTE, out.data());
    return out;
  }
  static std::vector<unsigned char> texts_after_first() { return band(331, 551, 360, 398); }
  static std::vector<unsigned char> first_text() { return band(331, 551, 400, 410); }
  static std::vector<unsigned char> icon() { return band(345, 535, 85, 275); }

  std::string dir_;
};

TEST_F(Preview, ATruncatedAircraftFileShowsWhatItHoldsAndNothingStale) {
  // Four texts, the last filling its 40 bytes to the header's end with no
  // terminating zero.
  std::string full;
  full = put(full, 1552, std::string("Alpha") + '\0');
  full = put(full, 1052, std::string("Bravo") + '\0');
  full = put(full, 1012, std::string("Delta") + '\0');
  full = put(full, 2052, std::string(40, 'Z'));
  write_file(dir_ + "full.acf", aircraft(full));
  ASSERT_EQ(run_command("convert -size 32x32 xc:red 'png32:" + dir_ + "full_icon.png' && echo ok"),
            "ok\n");
  // Cut inside the first text drawn: the other three are not in the file.
  write_file(dir_ + "short.acf", aircraft(put(std::string(), 1552, "Echo")));

  show("-");
  const auto no_texts = texts_after_first(), no_first = first_text(), no_icon = icon();
  show(dir_ + "full.acf");
  EXPECT_NE(texts_after_first(), no_texts);
  EXPECT_NE(first_text(), no_first);
  EXPECT_NE(icon(), no_icon);
  show(dir_ + "short.acf");
  EXPECT_NE(first_text(), no_first) << "what the file holds is shown";
  EXPECT_EQ(texts_after_first(), no_texts) << "the earlier file's texts are gone";
  EXPECT_EQ(icon(), no_icon) << "no icon of its own";
  // A header of another version is not read at all.
  std::string other = aircraft(full);
  other[1] = 7;
  write_file(dir_ + "other.acf", other);
  show(dir_ + "other.acf");
  EXPECT_EQ(first_text(), no_first);
  EXPECT_EQ(texts_after_first(), no_texts);
}

// A file the reader cannot take is previewed as a missing one, leaving
// nothing of the file before; an icon it cannot take is left out alone.
TEST_F(Preview, NamesTheReaderCannotTakeAreSkipped) {
  const std::string header = aircraft(put(put(std::string(), 1552, "Alpha"), 1052, "Bravo"));
  auto make = [&](const std::string& path) {
    write_file(path, header);
    const std::string icon = path.substr(0, path.size() - 4) + "_icon.png";
    ASSERT_EQ(run_command("convert -size 32x32 xc:red 'png32:" + icon + "' && echo ok"), "ok\n");
  };
  ASSERT_EQ(mkdir((dir_ + "in\\folder").c_str(), 0755), 0);
  // The reader's limit is 499 bytes; the icon's name is five longer.
  const std::string at_499 = folder_of_length(dir_, 499 - 9) + "plane.acf";
  const std::string at_500 = folder_of_length(dir_ + "b", 500 - 9) + "plane.acf";
  const std::string icon_at_500 = folder_of_length(dir_ + "c", 500 - 5 - 9) + "plane.acf";
  struct {
    std::string path;
    bool texts, icon;
  } cases[] = {
      {dir_ + "plain.acf", true, true},
      {dir_ + "back\\slash.acf", false, false},
      {dir_ + "in\\folder/plane.acf", false, false},
      {at_499, true, false},
      {at_500, false, false},
      {icon_at_500, true, false},
  };
  for (const auto& c : cases) ASSERT_NO_FATAL_FAILURE(make(c.path));
  show("-");
  const auto no_texts = texts_after_first(), no_first = first_text(), no_icon = icon();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path.substr(dir_.size(), 30) + "... " + std::to_string(c.path.size()));
    show(dir_ + "plain.acf");
    ASSERT_NE(first_text(), no_first);
    show(c.path);
    EXPECT_EQ(first_text() != no_first, c.texts);
    EXPECT_EQ(texts_after_first() != no_texts, c.texts);
    EXPECT_EQ(icon() != no_icon, c.icon);
  }
}

TEST_F(Preview, AFlightFileShowsItsCommentLine) {
  write_file(dir_ + "a.fdr", "I\n1 version\nACFT, x\n  comm ,  over the hills\nCOMM, second\n");
  write_file(dir_ + "b.fdr", "not a data file\nCOMM, hidden\n");
  auto comment = [] { return band(331, 551, 262, 276); };
  stand_io_dialog(wind_browse_a, file_flight, "-");
  const auto none = comment();
  stand_io_dialog(wind_browse_a, file_flight, dir_ + "a.fdr");
  const auto first = comment();
  EXPECT_NE(first, none);
  stand_io_dialog(wind_browse_a, file_flight, dir_ + "b.fdr");
  EXPECT_EQ(comment(), none) << "a file without the header has no comment";
  // The comment is the rest of the first COMM line, not the second's.
  write_file(dir_ + "c.fdr", "I\n1 version\nCOMM, over the hills\n");
  stand_io_dialog(wind_browse_a, file_flight, dir_ + "c.fdr");
  EXPECT_EQ(comment(), first);
}

}  // namespace
