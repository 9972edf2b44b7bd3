// The shell's hooks as PLAT_install_hooks fills them (this program has them
// installed from its start, as the program does): the lower layers' seams
// then reach the system's memory figures, the shell's orderly shut-down, the
// widgets' focus and the colour table.
#include "platform/memory_facts.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "core/alert.h"
#include "core/clock.h"
#include "core/exception.h"
#include "core/globals.h"
#include "core/memory/memory_report.h"
#include "core/prefs.h"
#include "core/threads/threads.h"
#include "draw/colors.h"
#include "platform/shell.h"
#include "tests/core/report_figure.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_support.h"
#include "widgets/focus.h"

using namespace testing_support;

namespace {

using report_testing::figure;

uint64_t status_bytes(const char* key) {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line))
    if (line.rfind(std::string(key) + ":", 0) == 0)
      return strtoull(line.c_str() + strlen(key) + 1, nullptr, 10) * 1024;
  return 0;
}

class ShellHooks : public TempFolderTest {
 protected:
  ShellHooks() : TempFolderTest("hooks", with_log) {}
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(TempFolderTest::SetUp());
    app_path = dir;
    mem_report.reset();
  }
  void TearDown() override {
    mem_report.reset();
    g_display_prefs.reset();
    app_path.clear();
    TempFolderTest::TearDown();
  }
};

}  // namespace

TEST_F(ShellHooks, MemoryReportFiguresMatchTheSystem) {
  dump_mem_stats("first reason");
  const uint64_t vm_after = status_bytes("VmSize"), rss_after = status_bytes("VmRSS");
  const std::string report = read_file(dir + "MemoryLog.txt");

  uint64_t n;
  char unit;
  ASSERT_TRUE(figure(report, "Page size:", &n, &unit));
  const uint64_t page = sysconf(_SC_PAGESIZE);
  EXPECT_EQ(n, mem_to_number(page));
  EXPECT_EQ(unit, mem_to_suffix(page));
  struct Check {
    const char* label;
    uint64_t now;
  } checks[] = {{"Vsize (reported):", vm_after}, {"Rsize:", rss_after}};
  for (const Check& c : checks) {
    ASSERT_TRUE(figure(report, c.label, &n, &unit)) << c.label;
    EXPECT_EQ(unit, mem_to_suffix(c.now)) << c.label;
    // The process may have grown a little between the report and now.
    EXPECT_NEAR(static_cast<double>(n), static_cast<double>(mem_to_number(c.now)),
                0.05 * static_cast<double>(mem_to_number(c.now)) + 2)
        << c.label;
  }
  for (const char* machine : {"Free pages:", "Active Pages:", "Total Swap Pages:"})
    EXPECT_TRUE(figure(report, machine, &n, &unit)) << machine;
  // The map lists this program's own image and the totals follow it.
  EXPECT_NE(report.find("platform_hooks_test"), std::string::npos);
  EXPECT_NE(report.find("[stack]"), std::string::npos);
  // No sharing mode is given where the system keeps none.
  for (const char* guess : {"Copy-on-write (", "Private (", "Empty (", "Shared ("})
    EXPECT_EQ(report.find(guess), std::string::npos) << guess;
  EXPECT_NE(report.find("  not available (  0)"), std::string::npos);
  ASSERT_TRUE(figure(report, "Total vsize:", &n, &unit));
  EXPECT_GT(n, 0u);
  EXPECT_NE(report.find("Total gap:"), std::string::npos);
}

TEST_F(ShellHooks, MemoryFactsListTheMapInOrderWithItsResidentBytes) {
  mem_facts facts;
  PLAT_read_memory_facts(facts);
  ASSERT_GT(facts.regions.size(), 3u);
  uint64_t resident = 0;
  for (size_t i = 0; i < facts.regions.size(); ++i) {
    const mem_region& r = facts.regions[i];
    EXPECT_LT(r.lo, r.hi) << i;
    if (i) {
      EXPECT_LE(facts.regions[i - 1].hi, r.lo) << i;
    }
    EXPECT_EQ(strlen(r.perms), 4u) << i;
    resident += r.private_bytes + r.shared_bytes;
  }
  // What the map finds resident is about what the process's status says.
  EXPECT_NEAR(static_cast<double>(resident), static_cast<double>(facts.rsize),
              0.1 * static_cast<double>(facts.rsize));
  EXPECT_GE(facts.vsize, facts.rsize);
  EXPECT_GT(facts.mem_free, 0u);
  EXPECT_GE(facts.swap_total, facts.swap_free);
}

// The death test reads what the alert logged: the child's log file outlives it.
TEST_F(ShellHooks, AFatalRecordEndsTheRunThroughTheShutDownThatStopsTheWorkers) {
  const std::string child_log = death_dir("fatal-workers") + "child.txt";
  EXPECT_EXIT(
      {
        isolate_home(dir);
        xer.close();
        xer.open(child_log);
        THREAD_init();
        THREAD_make_workers();
        std::thread([] {
          MACIBM_alert(wind_main, "the fatal one", "second line", "", "", t_exit);
        }).join();
        THREAD_check_exception(1);
        _exit(7);  // not reached
      },
      testing::ExitedWithCode(1), "");
  const std::string text = read_file(child_log);
  EXPECT_NE(text.find("the fatal one\nsecond line\n"), std::string::npos) << text;
  // The fatal path stopped the workers before the process ended.
  EXPECT_NE(text.find("Clean exit from threads."), std::string::npos) << text;
}

TEST_F(ShellHooks, TheClocksPressTakesTheFocusAndItsPulseReachesTheColours) {
  double now = 50.0;
  mnw.cur_window = 0;
  xtim_class::set_test_time(now);
  xtim.xtim_update();
  focus_id = 12;
  mnw.mouse_down = 1;
  xtim_class::set_test_time(now += 0.0123);
  xtim.xtim_update();
  mnw.mouse_down = 0;
  EXPECT_EQ(focus_id, 0) << "a press takes the keyboard focus";
  const float p = std::sin(20.0f * xtim.act_time) * 0.3f + 0.7f;
  EXPECT_FLOAT_EQ(colr.pulse, p);
  EXPECT_FLOAT_EQ(colr.rgb[79][1], 0.5f * p);
  xtim_class::xtim_reset();
  mnw = mnw_block();
  colr = colr_class();
}

// The display file holds a size per world kind besides the shared one; only
// the shared one is used, and the others go back into the file as read.
TEST_F(ShellHooks, DisplayFileKeepsTheSizesItDoesNotUse) {
  const std::string header = "I\n9001 version\n";
  char cwd[4096];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  ASSERT_EQ(chdir(dir.c_str()), 0);
  ASSERT_EQ(mkdir("Resources", 0755), 0);
  ASSERT_EQ(mkdir("Resources/preferences", 0755), 0);
  const std::string file = "Resources/preferences/Res Flyhouse.prf";
  write_file(file, header +
                       "_x_res_req_PLN 800\n_y_res_req_WRL 900\n_x_res_req_ALL 1280\n"
                       "_y_res_req_ALL 1024\n");
  const mnw_block saved = mnw;
  pref.IO_set(pref_set_display, 0);
  EXPECT_EQ(mnw.x_res_req, 1280);
  EXPECT_EQ(mnw.y_res_req, 1024);
  EXPECT_EQ(g_display_prefs.x_res_req_pln, 800);
  EXPECT_EQ(g_display_prefs.y_res_req_wrl, 900);
  pref.IO_set(pref_set_display, 1);
  EXPECT_EQ(
      read_file(file).rfind(header + "_x_res_req_PLN 800\n_y_res_req_PLN 0\n_x_res_req_WRL 0\n"
                                     "_y_res_req_WRL 900\n_x_res_req_ALL 1280\n_y_res_req_ALL "
                                     "1024\n",
                            0),
      0u)
      << read_file(file);
  // The reset forgets them: a file read afresh starts from zeros.
  g_display_prefs.reset();
  write_file(file, header + "_x_res_req_ALL 1280\n_y_res_req_ALL 1024\n");
  pref.IO_set(pref_set_display, 0);
  EXPECT_EQ(g_display_prefs.x_res_req_pln, 0);
  EXPECT_EQ(g_display_prefs.y_res_req_wrl, 0);
  mnw = saved;
  ASSERT_EQ(chdir(cwd), 0);
}
