// Start-up and shut-down of the whole shell, run in a copy of this test
// program placed in a temp folder: the log is written beside the executable,
// so each run needs a folder of its own.
#include <dirent.h>
#include <gtest/gtest.h>
#include <SDL2/SDL.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <regex>
#include <set>
#include <string>

#include "core/globals.h"
#include "core/stats.h"
#include "core/threads/threads.h"
#include "installer/app.h"
#include "installer/start.h"
#include "installer/update/unpack.h"
#include "platform/alert.h"
#include "platform/frame.h"
#include "platform/shell.h"
#include "platform/startup.h"
#include "tests/support/test_support.h"

using testing_support::make_temp_dir;
using testing_support::read_file;
using testing_support::run_command;

namespace {

// Scenarios run by the copy of this program; each returns the exit status.
int scenario_run(int argc, const char** argv) {
  APP_register_hooks();
  MACIBM_init(argc, argv);
  APP_start_run(argc, argv);
  int frames = 0;
  while (!app_done) {
    // After a few frames the window is asked to close, as the window
    // manager's close button or a SIGTERM would.
    if (++frames == 5) {
      SDL_Event quit;
      SDL_zero(quit);
      quit.type = SDL_QUIT;
      SDL_PushEvent(&quit);
    }
    MACIBM_event_proc();
  }
  MACIBM_finishup(1);
  return 0;
}

// The fatal alert, its window answered with Return as a person would.
int fatal_alert_answered() {
  SDL_Event key;
  SDL_zero(key);
  key.type = SDL_KEYDOWN;
  key.key.keysym.sym = SDLK_RETURN;
  SDL_PushEvent(&key);
  MACIBM_alert(wind_main, "Disk on fire.", "Second line.", "", "Fourth line.", t_exit);
  return 0;  // not reached
}

int scenario_fatal_in_window(int argc, const char** argv) {
  APP_register_hooks();
  MACIBM_init(argc, argv);
  return fatal_alert_answered();
}

// The builder starts with the shell's start-up alone, without the
// installer's: its fatal alert is answered by a click on the button's label,
// 14 units right of the button's middle, where a button with a label of two
// letters or more still is, and a blank one (21 units wide) is not.
int scenario_fatal_clicked_on_label(int argc, const char** argv) {
  APP_register_hooks();
  MACIBM_init(argc, argv);
  const float alert_dx = 420, alert_dy = 250;  // window 995, centred
  SDL_Event click;
  SDL_zero(click);
  click.type = SDL_MOUSEBUTTONDOWN;
  click.button.button = SDL_BUTTON_LEFT;
  click.button.x = static_cast<int>((mnw.pixel_dx - alert_dx) / 2 + alert_dx / 2 + 14);
  click.button.y = static_cast<int>(mnw.pixel_dy - ((mnw.pixel_dy - alert_dy) / 2 + 18));
  SDL_PushEvent(&click);
  // A click that misses leaves the alert waiting: the alarm ends it.
  alarm(20);
  MACIBM_alert(wind_main, "Disk on fire.", "Second line.", "", "Fourth line.", t_exit);
  return 0;  // not reached
}

// The workers' holding calls: kept where the leak check still finds them,
// since the process ends before they could be handed back.
THREAD_call* g_held_workers[256];
std::string g_left_file;

// How many entries the temporary folder holds once the process ends.
void note_what_is_left() {
  size_t count = 0;
  if (DIR* folder = opendir(temp_path.c_str())) {
    while (dirent* e = readdir(folder))
      if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") ++count;
    closedir(folder);
  }
  if (FILE* f = fopen(g_left_file.c_str(), "w")) {
    fprintf(f, "%zu", count);
    fclose(f);
  }
}

// A fatal alert while the install has archives out with the workers (held a
// moment, so that none has begun): the install stops before the threads, and
// the exit shows nothing more.
int scenario_fatal_with_jobs_out(int argc, const char** argv) {
  APP_register_hooks();
  MACIBM_init(argc, argv);
  APP_start_run(argc, argv);
  char here[4096];
  const std::string folder = std::string(getcwd(here, sizeof here) ? here : ".") + "/";
  g_left_file = folder + "left.txt";
  temp_path = folder + "tmp/";
  dest_dir_path = folder + "dest/";
  mkdir(temp_path.c_str(), 0700);
  mkdir(dest_dir_path.c_str(), 0755);
  for (int k = 0; k < THREAD_worker_count() && k < 256; ++k)
    g_held_workers[k] = THREAD_run_async(
        [](void*) -> void* {
          UTL_sleep(500);
          return nullptr;
        },
        nullptr);
  for (int i = 0; i < 3; ++i) {
    const std::string archive = temp_path + "unpacking-" + std::to_string(i) + ".zip";
    testing_support::write_file(archive, "not an archive");
    file_version_struct want;
    want.path = "All/x" + std::to_string(i);
    want.ext_size = 1;
    want.sig_want = std::string(32, 'a');
    unpack_hand_over(g_install, make_unpack_job(g_install, i, archive,
                                                dest_dir_path + "x" + std::to_string(i), want));
  }
  atexit(note_what_is_left);
  return fatal_alert_answered();
}

struct run_result {
  int status;
  std::string log;
  std::string folder;
  std::string prefs;
  std::string err;   // what the program wrote on its standard error stream
  std::string left;  // what a scenario noted at its exit
};

// Copies this program into a fresh folder and runs a scenario there with
// HOME and the configuration folder inside it.
run_result run_scenario(const std::string& name, const std::string& extra_env = "",
                        const std::string& args = "") {
  run_result r;
  r.folder = make_temp_dir("startup");
  char self[4096];
  ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  self[n > 0 ? n : 0] = 0;
  std::string exe = r.folder + "prog";
  run_command("cp '" + std::string(self) + "' '" + exe + "'");
  std::string cmd = "cd '" + r.folder + "' && env -u DISPLAY HOME='" + r.folder +
                    "home' XDG_CONFIG_HOME='" + r.folder + "config' SDL_VIDEODRIVER=offscreen " +
                    extra_env + " timeout 60 ./prog --scenario=" + name + " " + args +
                    " >/dev/null 2>stderr.txt";
  run_command("mkdir -p '" + r.folder + "home' '" + r.folder + "config'");
  int status = 0;
  run_command(cmd + "; echo $? > status", &status);
  r.status = atoi(read_file(r.folder + "status").c_str());
  r.log = read_file(r.folder + "Log.txt");
  r.prefs = read_file(r.folder + "config/Nimbrel Installer.prf");
  r.err = read_file(r.folder + "stderr.txt");
  r.left = read_file(r.folder + "left.txt");
  run_command("rm -rf '" + r.folder + "'");
  return r;
}

// What static construction leaves before the entry point: every statistic
// and remote command of the modules linked into the program is registered,
// and no window is current yet. Nothing in this test has drawn or bound.
TEST(Startup, BeforeTheEntryPointRegistriesAreFullAndNoWindowIsCurrent) {
  std::set<std::string> stats;
  for (UTL_stat* s = waiting; s; s = s->next) stats.insert(s->name);
  for (const char* name : {"perf/kill_tex", "perf/kill_cull", "perf/kill_clip", "num_xdl_bind",
                           "num_xdl_bind_ind", "memory/lazy_pools"})
    EXPECT_EQ(stats.count(name), 1u) << name;
  std::set<std::string> commands;
  for (UTL_remote_cmd* c = UTL_remote_cmd::cmd_list; c; c = c->next) commands.insert(c->name);
  EXPECT_EQ(commands.count("Dump Memory Info"), 1u);
  EXPECT_EQ(mnw.cur_window, wind_startup);
}

TEST(Startup, RunsOpensTheWindowAndShutsDownInOrderOnACloseRequest) {
  run_result r = run_scenario("run");
  EXPECT_EQ(r.status, 0) << r.log;
  // The header, in its fixed layout with this system's own figures.
  std::regex header(
      "^log\\.txt for Nimbrel [^\\n]* Installer 90017 compiled on [A-Z][a-z]{2} [ 0-9]\\d \\d{4} "
      "\\d\\d:\\d\\d:\\d\\d\\n\\n"
      "This log file is generated automatically by Tessaly Works applications[^\\n]*\\n"
      "If you need to contact tech support[^\\n]*\\n\\n"
      "Linux [^\\n]+\\n"
      "CPU type: \\? \\([^\\n]+\\) CPU speed \\(mhz\\): (\\d+|\\?) Bus speed \\(mhz\\): \\? "
      "RAM \\(MB\\): \\d+\\n"
      "\\nFlyhouse folder:'', case sensitive=1\\n\\n");
  EXPECT_TRUE(std::regex_search(r.log, header)) << r.log;
  EXPECT_NE(r.log.find("AGL_DEPTH_SIZE   : "), std::string::npos);
  EXPECT_NE(r.log.find("os_dir_this_app\t\t=" + r.folder + "\n"), std::string::npos) << r.log;
  EXPECT_NE(r.log.find("dest_dir_path=" + r.folder + "home/Nimbrel/\n"), std::string::npos);
  // The shut-down wrote the preferences.
  EXPECT_NE(r.prefs.find("_dest_dir_path"), std::string::npos) << r.prefs;
}

TEST(Startup, FpsTestSkipsThePreferences) {
  run_result r = run_scenario("run", "", "--fps_test");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.prefs, "");
}

TEST(Startup, ThreadedOptionIsLoggedWhenTheContextIsMade) {
  run_result r = run_scenario("run", "", "--use_threaded_ogl");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.log.find("Enabling threaded OGL - got 0\n"), std::string::npos) << r.log;
}

TEST(Startup, NoGraphicsIsAFatalAlertWithStatusOne) {
  run_result r = run_scenario("run", "SDL_VIDEODRIVER=no_such_driver");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.log.find("I could not set up the graphics for Nimbrel!"), std::string::npos) << r.log;
  EXPECT_NE(r.log.find("since I am resetting Nimbrel to default resolution now.\n"),
            std::string::npos);
  EXPECT_TRUE(std::regex_search(r.log, std::regex("\\([^\\n]*startup\\.cpp line 1358\\)\\n")))
      << r.log;
}

TEST(Startup, FatalAlertInTheWindowEndsWithStatusOneAfterReturn) {
  run_result r = run_scenario("fatal_in_window");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.log.find("\nDisk on fire.\nSecond line.\n\nFourth line.\n("), std::string::npos)
      << r.log;
  EXPECT_TRUE(std::regex_search(r.log, std::regex("\\([^\\n]*startup_test\\.cpp line \\d+\\)\\n")));
}

// A blank button would be a sliver no click on its label could find: the
// alert would wait until the scenario's alarm ends the run (status 142).
TEST(Startup, AFatalAlertWithoutTheInstallersStartHasALabelledButton) {
  run_result r = run_scenario("fatal_clicked_on_label");
  EXPECT_EQ(r.status, 1) << r.log;
  EXPECT_NE(r.log.find("\nDisk on fire.\nSecond line.\n\nFourth line.\n("), std::string::npos)
      << r.log;
}

// The install stops first (its jobs out end, their archives go), then the
// threads; the process ends with the one alert, nothing waiting for ever and
// no second alert from a lock the exit had destroyed.
TEST(Startup, AFatalAlertWithJobsOutStopsTheInstallBeforeTheThreads) {
  run_result r = run_scenario("fatal_with_jobs_out");
  EXPECT_EQ(r.status, 1) << r.log;  // 124: it hung
  size_t shown = 0;
  for (size_t at = r.log.find("\nDisk on fire.\n"); at != std::string::npos;
       at = r.log.find("\nDisk on fire.\n", at + 1))
    ++shown;
  EXPECT_EQ(shown, 1u) << r.log;
  EXPECT_EQ(r.err, "");
  const size_t stopped =
      r.log.find("The install had stopped: " + r.folder + "dest/x2 not installed");
  const size_t threads_ended = r.log.find("Clean exit from threads.");
  ASSERT_NE(stopped, std::string::npos) << r.log;
  ASSERT_NE(threads_ended, std::string::npos) << r.log;
  EXPECT_LT(stopped, threads_ended);
  EXPECT_EQ(r.left, "0");  // every archive gone
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && std::string(argv[1]).rfind("--scenario=", 0) == 0) {
    std::string name = std::string(argv[1]).substr(11);
    // The scenario sees the remaining options as the program's own.
    argv[1] = argv[0];
    const char** args = const_cast<const char**>(argv + 1);
    if (name == "run") return scenario_run(argc - 1, args);
    if (name == "fatal_in_window") return scenario_fatal_in_window(argc - 1, args);
    if (name == "fatal_clicked_on_label") return scenario_fatal_clicked_on_label(argc - 1, args);
    if (name == "fatal_with_jobs_out") return scenario_fatal_with_jobs_out(argc - 1, args);
    return 99;
  }
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
