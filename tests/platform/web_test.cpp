// Web pages through the desktop's opener, with a recording stand-in for
// xdg-open first on PATH that takes its time, as a browser starting up does.
#include "platform/web.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <thread>

#include "tests/support/temp_folder.h"
#include "tests/support/test_support.h"

using testing_support::read_file;

namespace {

class Web : public testing_support::TempFolderTest {
 protected:
  Web() : TempFolderTest("web", with_log) {}
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(TempFolderTest::SetUp());
    old_path_ = testing_support::stand_in_on_path(dir, "xdg-open",
                                                  "#!/bin/sh\n"
                                                  "printf '%s\\n' \"$#\" \"$@\" > '" +
                                                      dir +
                                                      "args.part'\n"
                                                      "mv '" +
                                                      dir + "args.part' '" + dir +
                                                      "args'\n"
                                                      "sleep 2\n"
                                                      "touch '" +
                                                      dir + "finished'\n");
  }
  void TearDown() override {
    // The opener outlives the call: let it end before its folder goes.
    eventually(5, [&] { return exists("finished"); });
    setenv("PATH", old_path_.c_str(), 1);
    TempFolderTest::TearDown();
  }
  bool exists(const char* name) { return access((dir + name).c_str(), F_OK) == 0; }
  template <class F>
  static bool eventually(int seconds, F done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!done()) {
      if (std::chrono::steady_clock::now() > end) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
  }
  std::string old_path_;
};

// The address reaches the opener as one argument, shell characters and all;
// the call returns while the opener still runs, and leaves no child of ours
// behind, running or unreaped.
TEST_F(Web, TheOpenerGetsTheAddressAsItIsAndIsNeverWaitedFor) {
  const std::string url = "http://shop.test:8015/cart.php?m=product_list&c=3;touch '" + dir +
                          "injected'&x=$(touch " + dir + "injected)";
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(go_to_URL(url), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1500));
  ASSERT_TRUE(eventually(5, [&] { return exists("args"); })) << "the opener never ran";
  EXPECT_FALSE(exists("finished")) << "the call waited for the opener";
  EXPECT_EQ(read_file(dir + "args"), "1\n" + url + "\n");
  errno = 0;
  EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD) << "the opener is not ours to wait for";
  EXPECT_TRUE(eventually(5, [&] { return exists("finished"); }));
  EXPECT_FALSE(exists("injected"));
}

// Without the programs that start the opener: an error and a line in the
// log, nothing else.
TEST_F(Web, AnOpenerThatCannotStartIsAnErrorInTheLog) {
  setenv("PATH", dir.c_str(), 1);  // the stand-in alone: no setsid
  EXPECT_NE(go_to_URL("http://web.test/"), 0);
  EXPECT_NE(log().find("Could not open the web page http://web.test/"), std::string::npos) << log();
  EXPECT_FALSE(exists("args"));
  setenv("PATH", (dir + ":" + old_path_).c_str(), 1);
  ASSERT_EQ(go_to_URL("http://web.test/"), 0);  // so that TearDown sees it end
}

}  // namespace
