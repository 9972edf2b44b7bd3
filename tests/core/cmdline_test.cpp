// Command-line options: the map, the exact log lines, and the two options that
// answer and end the run.
#include "core/cmdline.h"

#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/commands.h"
#include "core/globals.h"
#include "tests/support/test_support.h"

using namespace testing_support;

namespace {

// Parses the arguments with the log going to a fresh file; returns the log.
std::string parse_logged(UTL_cmdline& cl, std::vector<const char*> args) {
  std::string log = make_temp_dir("cmdline") + "Log.txt";
  xer.open(log, std::ios::out | std::ios::trunc);
  cl.init_unix(static_cast<int>(args.size()), args.data());
  xer.close();
  return read_file(log);
}

TEST(Cmdline, ArgumentsBecomeNamesAndValuesAndAreLogged) {
  UTL_cmdline cl;
  std::string log =
      parse_logged(cl, {"nimbrel_installer", "--x=1", "--fps_test", "--x=2", "--pref:_lang=2",
                        "--v=a=b", "--e=", "-path", "/home/pilot/Nimbrel 9"});
  EXPECT_EQ(log,
            "     '--x'='1'\n"
            "     '--fps_test'\n"
            "WARNING: command line option --x=2included twice.\n"
            "     '--x'='2'\n"
            "     '--pref:_lang'='2'\n"
            "     '--v'='a=b'\n"
            "     '--e'\n"
            "     '-path'\n"
            "     '/home/pilot/Nimbrel 9'\n");
  EXPECT_EQ(cl.get_option("--x"), "2");
  EXPECT_EQ(cl.get_option("--v"), "a=b");
  EXPECT_EQ(cl.get_option("--pref:_lang"), "2");
  EXPECT_TRUE(cl.has_option("--e"));
  EXPECT_EQ(cl.get_option("--e"), "");
  EXPECT_TRUE(cl.has_option("-path"));
  EXPECT_TRUE(cl.has_option("/home/pilot/Nimbrel 9"));
  EXPECT_EQ(cl.size(), 7u);

  EXPECT_FALSE(cl.has_option("--y"));
  EXPECT_EQ(cl.get_option("--y"), "");
  EXPECT_FALSE(cl.has_option("--fps"));  // no prefix matching
}

TEST(Cmdline, OnlyTheProgramNameLeavesTheMapEmpty) {
  UTL_cmdline cl;
  EXPECT_EQ(parse_logged(cl, {"nimbrel_installer"}), "");
  EXPECT_TRUE(cl.empty());
}

TEST(Cmdline, OptionNamesAreCaseExact) {
  UTL_cmdline cl;
  parse_logged(cl, {"nimbrel_installer", "--HELP", "-H"});  // returns: no usage for these
  EXPECT_TRUE(cl.has_option("--HELP"));
  EXPECT_FALSE(cl.has_option("--help"));
  EXPECT_FALSE(cl.has_option("-h"));
}

TEST(Cmdline, WholeCommandLineTextIsSplitIntoWords) {
  UTL_cmdline cl;
  std::string log = make_temp_dir("cmdline-win") + "Log.txt";
  xer.open(log, std::ios::out | std::ios::trunc);
  cl.init_win("  --a=1\t--b  =skipped --c=x=y   --a=3 ");
  xer.close();
  EXPECT_EQ(read_file(log), "WARNING: command line option --a=3included twice.\n");
  EXPECT_EQ(cl.get_option("--a"), "3");
  EXPECT_TRUE(cl.has_option("--b"));
  EXPECT_EQ(cl.get_option("--b"), "");
  EXPECT_EQ(cl.get_option("--c"), "x=y");
  EXPECT_EQ(cl.size(), 3u);  // the empty name before "=skipped" is dropped
}

// Runs init_unix in a death-test child with standard output in a file, the
// given usage registered first.
std::string run_exiting(std::vector<const char*> args, const std::string& tag,
                        const std::string& usage = "") {
  std::string dir = make_temp_dir(tag);
  std::string out = dir + "stdout.txt";
  EXPECT_EXIT(
      {
        if (!freopen(out.c_str(), "w", stdout)) _exit(3);
        xer.open(dir + "Log.txt", std::ios::out | std::ios::trunc);
        UTL_cmdline cl;
        cl.set_usage(usage);
        cl.init_unix(static_cast<int>(args.size()), args.data());
        _exit(4);  // init_common must not return
      },
      ::testing::ExitedWithCode(0), "");
  return read_file(out);
}

// The ground floor knows no program: each prints the usage its entry point
// registered (the programs' own texts are checked on the programs,
// cmdline_help_test.sh); without one it prints nothing and still ends.
TEST(CmdlineDeathTest, HelpPrintsTheRegisteredUsageAndExitsZero) {
  const std::string usage = "Usage: some_program [option ...]\n\n  --x\n      Does x.\n";
  for (const char* flag : {"--help", "-h"}) {
    SCOPED_TRACE(flag);
    EXPECT_EQ(run_exiting({"some_program", "--fps_test=1", flag}, "cmdline-help", usage), usage);
  }
  EXPECT_EQ(run_exiting({"some_program", "--help"}, "cmdline-none"), "");
}

TEST(CmdlineDeathTest, CmndsListsTheCommandTableAndExitsZero) {
  commands_reset();
  cmnd.add_cmd("sim/view/forward", "Look forward.");
  cmnd.add_cmd("sim/view/left", "Look left.");
  cmnd.add_cmd("sim/engines/throttle_up", "Throttle up.");

  std::string expected;
  char line[512];
  for (size_t k = 0; k < cmnd.path.size(); ++k) {
    snprintf(line, sizeof line, "%-50s %s\n", cmnd.path[k].c_str(), cmnd.description[k].c_str());
    expected += line;
  }
  EXPECT_EQ(run_exiting({"nimbrel_installer", "--cmnds=all"}, "cmdline-all"), expected);
  EXPECT_EQ(run_exiting({"nimbrel_installer", "--cmnds=sim/"}, "cmdline-sim"),
            "engines/\noperation/\nview/\n");
  EXPECT_EQ(run_exiting({"nimbrel_installer", "--cmnds=sim/view/"}, "cmdline-view"),
            "forward\nleft\n");
  EXPECT_EQ(run_exiting({"nimbrel_installer", "--cmnds"}, "cmdline-top"), "sim/\n");
  // "--cmnds" wins over "--help".
  EXPECT_EQ(run_exiting({"nimbrel_installer", "--help", "--cmnds=sim/view/"}, "cmdline-both"),
            "forward\nleft\n");
  commands_reset();
}

}  // namespace
