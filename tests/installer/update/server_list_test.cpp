// The server list: mirrors and the version's folder read from fixture lists,
// mirror lines that cannot be used skipped, headers told apart, and the
// weighted choice of a mirror.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "core/globals.h"
#include "installer/update/install.h"
#include "installer/update/server_list.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_support.h"

namespace {

const std::string kHeader = "I\n820 version\nSERVERS\n\n";

// "name host path desc" for every mirror read, ";" between them.
std::string scan(const std::string& text, int* result = nullptr) {
  server_list list;
  int r = scan_server_list(text.data(), text.data() + text.size(), list, nullptr);
  if (result) *result = r;
  std::string out = list.install_name + ":";
  for (int i = 0; i < list.count; ++i)
    out += " " + list.name[i] + " " + list.path[i] + " " + list.desc[i] + ";";
  return out;
}

TEST(ServerList, MirrorsTakeTheVersionFolderAndUnusableLinesAreSkipped) {
  struct {
    const char* name;
    std::string body, want;
  } cases[] = {
      {"a plain list",
       "BETA beta 1\nFINAL Nimbrel 9\nSERVER  m1.example\n/files/\nFirst one\n"
       "SERVER\tm2.example\n\t/x/\n  Second\nENDOFLIST\nSERVER m3.example\n/y/\nno\n",
       "Nimbrel 9: m1.example /files/Nimbrel 9/ First one; m2.example /x/Nimbrel 9/ Second;"},
      {"no ENDOFLIST: read to the end; CR LF lines", "FINAL v\r\nSERVER h\r\n/p/\r\nd\r\n",
       "v: h /p/v/ d;"},
      {"a mirror before FINAL would be asked for the wrong files",
       "SERVER early\n/p/\nd\nFINAL v\nSERVER late\n/p/\nd\n", "v: late /p/v/ d;"},
      {"hosts and folders a request cannot carry",
       "FINAL v\nSERVER bad host\n/p/\nd\nSERVER h\nrelative/\nd\n"
       "SERVER h\n/a/../b/\nd\nSERVER h\n/a/..\nd\nSERVER ok\n/p/\nd\n",
       "v: ok /p/v/ d;"},
      {"a mirror may name its port, one from 1 to 65535",
       "FINAL v\nSERVER h:8080\n/p/\nd\nSERVER h:0\n/p/\nd\nSERVER h:\n/p/\nd\n",
       "v: h:8080 /p/v/ d;"},
      {"SERVERS is no SERVER line", "FINAL v\nSERVERS x\nSERVER h\n/p/\nd\n", "v: h /p/v/ d;"},
      {"the first usable FINAL line holds for every mirror",
       "FINAL a/b\nFINAL v\nSERVER h\n/p/\nd\nFINAL w\nSERVER g\n/q/\nd\n",
       "v: h /p/v/ d; g /q/v/ d;"},
  };
  for (const auto& c : cases) EXPECT_EQ(scan(kHeader + c.body), c.want) << c.name;

  std::string eleven = kHeader + "FINAL v\n";
  for (int i = 0; i < 11; ++i) eleven += "SERVER h" + std::to_string(i) + "\n/p/\nd\n";
  server_list list;
  scan_server_list(eleven.data(), eleven.data() + eleven.size(), list, nullptr);
  EXPECT_EQ(list.count, 10);
  EXPECT_EQ(list.name[9], "h9");
}

TEST(ServerList, AVersionNameMustBeOneSafeFolderName) {
  for (const char* name : {"a/b", "..", ".", "Not Yet Scanned", "", "tab\there\x01"}) {
    EXPECT_FALSE(usable_folder_name(name)) << name;
    EXPECT_EQ(scan(kHeader + "FINAL " + name + "\nSERVER h\n/p/\nd\n"), ":") << name;
  }
  EXPECT_TRUE(usable_folder_name("Nimbrel 9.00 Beta-17"));
}

TEST(ServerList, HeadersOfOtherListsAndOfNothing) {
  struct {
    std::string text;
    int want;
  } cases[] = {{kHeader + "FINAL v\n", server_list_read},
               {"I\n821 version\nSERVERS\n", server_list_newer},
               {"I\n819 version\nSERVERS\n", server_list_unusable},
               {"I\n820 version\nINSTALLER\n", server_list_unusable},
               {"<html><body>Sign in to the network</body></html>", server_list_unusable},
               {"", server_list_unusable}};
  for (const auto& c : cases) {
    int r = -1;
    scan(c.text, &r);
    EXPECT_EQ(r, c.want) << c.text;
  }
}

TEST(ServerList, TheFirstMirrorsAreFavoured) {
  EXPECT_EQ(draw_mirror(0), -1);
  srand(12);
  int counts[10] = {};
  const int draws = 20000;
  for (int i = 0; i < draws; ++i) {
    int k = draw_mirror(10);
    ASSERT_GE(k, 0);
    ASSERT_LT(k, 10);
    ++counts[k];
  }
  // u^1.5 < 0.1 for u below 0.1^(2/3): about 21.5 % of draws.
  EXPECT_NEAR(counts[0] / double(draws), 0.215, 0.02);
  for (int k = 1; k < 10; ++k) EXPECT_LT(counts[k], counts[k - 1]) << k;
  EXPECT_EQ(draw_mirror(1), 0);
}

TEST(ServerList, ARetryDrawsOnlyAmongTheLeastFailedMirrors) {
  srand(7);
  const int failures[4] = {2, 1, 3, 1};
  int drawn[4] = {};
  for (int i = 0; i < 200; ++i) {
    const int k = draw_least_failed(failures, 4, 3);
    ASSERT_TRUE(k == 1 || k == 3) << k;
    ++drawn[k];
  }
  EXPECT_GT(drawn[1], 0);
  EXPECT_GT(drawn[3], 0);
  const int spent[3] = {3, 4, 3};
  EXPECT_EQ(draw_least_failed(spent, 3, 3), -1);
  EXPECT_EQ(draw_least_failed(spent, 0, 3), -1);
}

class ServerListFile : public testing_support::TempFolderTest {
 protected:
  ServerListFile() : TempFolderTest("server-list", with_log) {}
  // The install the list is read into, reporting through the program's block.
  install_state in{stg};
};

TEST_F(ServerListFile, ReadingFillsTheMirrorsOrCountsAsAFailedFetch) {
  in.install_name = "Not Yet Scanned";
  stg.server_count = -1;
  testing_support::write_file(dir + "list.txt", "<html>portal</html>");
  EXPECT_EQ(read_server_list(in, dir + "list.txt"), server_list_unusable);
  EXPECT_EQ(stg.server_count, -1);
  testing_support::write_file(dir + "list.txt",
                              kHeader + "FINAL v9\nSERVER a\n/m/\nA\nSERVER b\n/n/\nB\n");
  EXPECT_EQ(read_server_list(in, dir + "list.txt"), server_list_read);
  EXPECT_EQ(in.install_name, "v9");
  EXPECT_EQ(stg.server_count, 2);
  EXPECT_EQ(in.server_path[1], "/n/v9/");
  EXPECT_EQ(in.server_desc[0], "A");
  EXPECT_TRUE(stg.server_index == 0 || stg.server_index == 1);
}

}  // namespace
