// Preference files: byte-exact writing, lenient reading, "--pref:" overrides,
// values that could not read back, and the display file's size rules.
//
// Contents
//   [SECTION] Helpers and the fixture
//   [SECTION] Writing and reading
//   [SECTION] Overrides and round trips
//   [SECTION] Values and files that cannot be kept
//   [SECTION] The display file
#include "core/prefs.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>

#include "core/cmdline.h"
#include "core/globals.h"
#include "installer/start.h"
#include "net/http.h"
#include "platform/shell.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_support.h"

using testing_support::read_file;
using testing_support::write_file;

namespace {

// [SECTION] Helpers and the fixture

const char kHeader[] = "I\n9001 version\n";

class PrefsTest : public testing_support::TempFolderTest {
 protected:
  PrefsTest() : TempFolderTest("prefs", with_log) {}
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(TempFolderTest::SetUp());
    config = dir + "config/";  // made by the preferences' own folder lookup
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    prf = config + "Nimbrel Installer.prf";
    cmdline.clear();
    reset_settings();
    prefs_reset();
    // The keys as the installer and the shell register them at start-up.
    APP_register_prefs();
    PLAT_install_hooks();
  }
  void TearDown() override {
    prefs_reset();
    cmdline.clear();
    TempFolderTest::TearDown();
  }
  // Every setting the installer's file holds, back to its default.
  static void reset_settings() {
    stg = stg_block();
    stg.rename_folder = 1;
    dest_dir_path = "/default/Nimbrel/";
    http.reset();
    web_host = kDefaultWebHost;
    shop_host = kDefaultShopHost;
  }
  void write_prefs(const std::string& body) {
    mkdir(config.c_str(), 0700);
    write_file(prf, body);
  }
  std::string config, prf;
};

// [SECTION] Writing and reading

TEST_F(PrefsTest, WritesEveryKeyInOrder) {
  stg.use_max_cpu = 1;
  stg.stream_count = 3;
  stg.log_actions = -2;
  dest_dir_path = "/home/u/My Sims/";
  http.proxy_port_int = 8080;
  pref.IO_set(pref_set_installer, 1);
  EXPECT_FALSE(ouf.is_open());
  EXPECT_EQ(read_file(prf), std::string(kHeader) +
                                "_use_max_cpu 1\n"
                                "_rename_folder 1\n"
                                "_stream_count 3\n"
                                "_log_actions -2\n"
                                "_always_ask_dir 0\n"
                                "_dest_dir_path /home/u/My Sims/\n"
                                "_proxy_port_int 8080\n");

  // Text keys appear when set; the hosts only when they differ from the build's.
  http.proxy_host = "proxy.lan";
  http.proxy_port = "3128";
  shop_host = "shop.test";
  pref.IO_set(pref_set_installer, 1);
  EXPECT_EQ(read_file(prf), std::string(kHeader) +
                                "_use_max_cpu 1\n"
                                "_rename_folder 1\n"
                                "_stream_count 3\n"
                                "_log_actions -2\n"
                                "_always_ask_dir 0\n"
                                "_dest_dir_path /home/u/My Sims/\n"
                                "_proxy_host proxy.lan\n"
                                "_proxy_port 3128\n"
                                "_proxy_port_int 8080\n"
                                "_shop_host shop.test\n");
}

TEST_F(PrefsTest, ReadingIsLenient) {
  write_prefs(std::string(kHeader) +
              "_stream_count 3\r\n"
              "\r\n"
              "   \t_log_actions\t1\r\n"
              "# _use_max_cpu 1\n"
              "_stream_count 2\n"
              "_always_ask_dir\n"
              "_dest_dir_path   /Volumes/Big Disk/Nimbrel/  \n"
              "_proxy_host proxy.lan\n"
              "_proxy_port_int 12abc\n"
              "_web_host www.mirror.test\n");
  stg.always_ask_dir = 5;
  pref.IO_set(pref_set_installer, 0);
  EXPECT_EQ(stg.stream_count, 2);  // the later line counts
  EXPECT_EQ(stg.log_actions, 1);
  EXPECT_EQ(stg.use_max_cpu, 0);     // no comments: "#" is just a key nobody asks for
  EXPECT_EQ(stg.always_ask_dir, 0);  // a key without a value reads as 0
  EXPECT_EQ(stg.rename_folder, 1);   // absent: default kept
  EXPECT_EQ(dest_dir_path, "/Volumes/Big Disk/Nimbrel/  ");
  EXPECT_EQ(http.proxy_host, "proxy.lan");
  EXPECT_EQ(http.proxy_port, "");
  EXPECT_EQ(http.proxy_port_int, 12);
  EXPECT_EQ(web_host, "www.mirror.test");
  EXPECT_EQ(shop_host, kDefaultShopHost);
}

TEST_F(PrefsTest, NumbersConvertLikeAtoiWithoutOverflow) {
  struct Case {
    const char* text;
    int value;
  } cases[] = {
      {"7", 7},
      {" -12", -12},
      {"+4x", 4},
      {"x4", 0},
      {"2147483647", INT_MAX},
      {"99999999999999999999", INT_MAX},
      {"-2147483648", INT_MIN},
      {"-99999999999999999999", INT_MIN},
  };
  for (const Case& c : cases) {
    write_prefs(std::string(kHeader) + "_stream_count " + c.text + "\n");
    pref.IO_set(pref_set_installer, 0);
    EXPECT_EQ(stg.stream_count, c.value) << c.text;
  }
}

TEST_F(PrefsTest, UnusableFilesChangeNothing) {
  const char* bodies[] = {
      "I\n9000 version\n_stream_count 4\n",  // other version
      "_stream_count 4\n",                   // no header
      "",
  };
  for (const char* body : bodies) {
    write_prefs(body);
    pref.IO_set(pref_set_installer, 0);
    EXPECT_EQ(stg.stream_count, 0) << body;
    EXPECT_EQ(dest_dir_path, "/default/Nimbrel/") << body;
  }
  unlink(prf.c_str());
  pref.IO_set(pref_set_installer, 0);
  EXPECT_EQ(stg.rename_folder, 1);
}

// [SECTION] Overrides and round trips

TEST_F(PrefsTest, CommandLineOverrides) {
  write_prefs(std::string(kHeader) +
              "_use_max_cpu 0\n_log_actions 1\n_dest_dir_path /from/file/\n");
  cmdline["--pref:_use_max_cpu"] = "1";
  cmdline["--pref:_log_actions"] = "";
  cmdline["--pref:_dest_dir_path"] = "/from/options/";
  cmdline["--pref:_shop_host"] = "shop.option.test";
  pref.IO_set(pref_set_installer, 0);
  EXPECT_EQ(stg.use_max_cpu, 1);
  EXPECT_EQ(stg.log_actions, 0);  // the option without a value
  EXPECT_EQ(dest_dir_path, "/from/options/");
  EXPECT_EQ(shop_host, "shop.option.test");
  EXPECT_EQ(stg.stream_count, 0);
}

TEST_F(PrefsTest, RoundTrip) {
  stg.use_max_cpu = 1;
  stg.rename_folder = 0;
  stg.stream_count = 4;
  stg.log_actions = 1;
  stg.always_ask_dir = 1;
  dest_dir_path = "/home/u/Flight sims: 2024 /";
  http.proxy_host = "10.0.0.1";
  http.proxy_port = "8080";
  http.proxy_port_int = 8080;
  web_host = "www.other.test";
  pref.IO_set(pref_set_installer, 1);

  reset_settings();
  pref.IO_set(pref_set_installer, 0);
  EXPECT_EQ(stg.use_max_cpu, 1);
  EXPECT_EQ(stg.rename_folder, 0);
  EXPECT_EQ(stg.stream_count, 4);
  EXPECT_EQ(stg.log_actions, 1);
  EXPECT_EQ(stg.always_ask_dir, 1);
  EXPECT_EQ(dest_dir_path, "/home/u/Flight sims: 2024 /");
  EXPECT_EQ(http.proxy_host, "10.0.0.1");
  EXPECT_EQ(http.proxy_port, "8080");
  EXPECT_EQ(http.proxy_port_int, 8080);
  EXPECT_EQ(web_host, "www.other.test");
  EXPECT_EQ(shop_host, kDefaultShopHost);
}

// [SECTION] Values and files that cannot be kept

// A folder name with a line end would read back as a shorter folder plus a
// stray key; such a value is left out and the next run uses the default.
TEST_F(PrefsTest, ValuesThatCannotReadBackAreLeftOut) {
  const char* values[] = {
      "/home/u/evil\n_stream_count 4\n/",
      "/home/u/cr\r/",
      "/home/u/tab\tinside/",
      " /leading blank/",
  };
  for (const char* value : values) {
    SCOPED_TRACE(value);
    dest_dir_path = value;
    http.proxy_host = "ok.host";
    pref.IO_set(pref_set_installer, 1);
    std::string written = read_file(prf);
    EXPECT_EQ(written.find("_dest_dir_path"), std::string::npos) << written;
    EXPECT_NE(written.find("_proxy_host ok.host\n"), std::string::npos) << written;
    EXPECT_NE(log().find("Preference _dest_dir_path not saved"), std::string::npos);

    stg.stream_count = 0;
    dest_dir_path = "/default/Nimbrel/";
    pref.IO_set(pref_set_installer, 0);
    EXPECT_EQ(dest_dir_path, "/default/Nimbrel/");
    EXPECT_EQ(stg.stream_count, 0);
  }
}

// No folder can be had (the configuration folder would lie under a file):
// nothing is written, but the command line's overrides still count.
TEST_F(PrefsTest, NoPreferencesFolderKeepsTheOverrides) {
  write_file(dir + "plain_file", "");
  setenv("XDG_CONFIG_HOME", (dir + "plain_file/sub").c_str(), 1);
  stg.stream_count = 2;
  pref.IO_set(pref_set_installer, 1);
  pref.IO_set(pref_set_installer, 0);
  EXPECT_EQ(stg.stream_count, 2);
  EXPECT_NE(log().find("No preferences folder"), std::string::npos);

  const char* argv[] = {"prog", "--pref:_web_host=127.0.11.1", "--pref:_stream_count=3"};
  cmdline.init_unix(3, argv);
  pref.IO_set(pref_set_installer, 0);
  EXPECT_EQ(web_host, "127.0.11.1");
  EXPECT_EQ(stg.stream_count, 3);
  EXPECT_EQ(stg.rename_folder, 1) << "keys without an override keep their value";
}

// A disk that takes the header but not the rest: the file cut short goes,
// so the next run reads the defaults rather than half the settings.
TEST_F(PrefsTest, FileThatCannotBeWrittenWholeIsRemoved) {
  dest_dir_path = "/" + std::string(300, 'd') + "/";
  pref.IO_set(pref_set_installer, 1);
  ASSERT_GT(read_file(prf).size(), 300u);
  signal(SIGXFSZ, SIG_IGN);
  rlimit old_limit, small;
  getrlimit(RLIMIT_FSIZE, &old_limit);
  small = {64, old_limit.rlim_max};
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  pref.IO_set(pref_set_installer, 1);
  setrlimit(RLIMIT_FSIZE, &old_limit);
  EXPECT_NE(access(prf.c_str(), F_OK), 0) << read_file(prf);
  EXPECT_NE(log().find("Preferences not saved (error " + std::to_string(EFBIG) + ")"),
            std::string::npos)
      << log();
}

// [SECTION] The display file

TEST_F(PrefsTest, DisplayFile) {
  ASSERT_EQ(chdir(dir.c_str()), 0);
  // No file at all: the requested size falls back to 1024 by 768.
  mnw.x_res_req = 1600;
  mnw.y_res_req = 1200;
  pref.IO_set(pref_set_display, 0);
  EXPECT_EQ(mnw.x_res_req, 1024);
  EXPECT_EQ(mnw.y_res_req, 768);

  ASSERT_EQ(mkdir("Resources", 0755), 0);
  mnw.x_res_req = 1280;
  mnw.y_res_req = 9999;
  mnw.lang = 2;
  mnw.keylist_up = 1;
  mnw.prefs_found = 0;
  pref.IO_set(pref_set_display, 1);  // makes the missing "preferences" folder itself
  EXPECT_EQ(read_file("Resources/preferences/Res Flyhouse.prf"),
            std::string(kHeader) +
                "_x_res_req_PLN 0\n_y_res_req_PLN 0\n_x_res_req_WRL 0\n_y_res_req_WRL 0\n"
                "_x_res_req_ALL 1280\n_y_res_req_ALL 9999\n_col_res_req 0\n_set_res 0\n_lang 2\n"
                "_alias_req 0\n_keylist_up 1\n_sec_mon_inuse 0\n_prefs_found 1\n");

  write_file("Resources/preferences/Res Flyhouse.prf",
             std::string(kHeader) + "_x_res_req_ALL 500\n_y_res_req_ALL 9999\n_lang 5\n");
  pref.IO_set(pref_set_display, 0);
  EXPECT_EQ(mnw.x_res_req, 1024);
  EXPECT_EQ(mnw.y_res_req, 9999);
  EXPECT_EQ(mnw.lang, 5);
}

}  // namespace
