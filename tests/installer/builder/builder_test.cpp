// The builder program on a master copy made by a test script: its archives
// checked with Info-ZIP and md5sum, its manifest read back by the
// installer's reader and by a reader in Python, a second release carrying
// the first one's histories forward, and every house rule and check that
// must stop a build.
//
// Contents
//   [SECTION] The first release
//   [SECTION] The next release
//   [SECTION] What stops a build
#include <limits.h>
#include <stdlib.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <fstream>
#include <sstream>
#include <vector>

#include "tests/installer/builder/builder_fixture.h"

namespace builder_tests {
namespace {

const std::string kSet = "Nimbrel 9.00 Beta-17";

int kb_of_size(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? int(double(st.st_size) * 0.001) : -1;
}

// The current record of a path in the manifest last read into in, or null.
const file_version_struct* last_record(const install_state& in, const std::string& path) {
  for (const file_history_struct& h : in.sim_info)
    if (h.back().path == path) return &h.back();
  return nullptr;
}

// The history of a path in a Python dump: its records' lines.
std::string records_of(const std::string& dump, const std::string& path) {
  std::istringstream in(dump);
  std::string line, out;
  bool mine = false;
  while (std::getline(in, line)) {
    if (line.compare(0, 2, "  ") != 0) {
      mine = line == path;
      continue;
    }
    if (mine) out += line.substr(2) + "\n";
  }
  return out;
}

// [SECTION] The first release

TEST_F(BuilderTest, ArchivesAndManifestAgreeWithThePeers) {
  // A link under the Windows folder named like a program is no program: the
  // large-address step must leave it, and the text it points to, alone; a
  // program outside the Windows folder is not marked either.
  sh("cp " + shq(master + "Windows/nimbrel.exe") + " " +
     shq(master + "All/Resources/plugins/tool.exe"));
  write_file(master + "Windows/readme.txt", "Read me on Windows.\n");
  ASSERT_EQ(symlink("readme.txt", (master + "Windows/readme.exe").c_str()), 0);
  ASSERT_EQ(chmod((master + "Linux/nimbrel").c_str(), 0777), 0);
  const std::string out = dir + "out/";
  ASSERT_EQ(build(out), 0) << log_tail();
  const std::string set = set_of(out);
  const std::string manifest = manifest_of(out, "directory.txt");

  // Two readers, one reading.
  ASSERT_EQ(read_directory(in, manifest, "t", dir_read_builder), dir_read) << in.manifest_problem;
  EXPECT_EQ(dump_histories(in.sim_info), python_dump(manifest));

  // Exactly these files, in the walk's order: junk, the empty file, the
  // hidden one and other sets' scenery stay out.
  std::string paths;
  for (const file_history_struct& h : in.sim_info) paths += h.back().path + "\n";
  EXPECT_EQ(paths,
            "All/Aircraft/Trainer/Trainer.acf\nAll/Airfoils/naca 0012.afl\n"
            "All/Custom Scenery/README.txt\nAll/Instructions/Manual with blanks.txt\n"
            "All/Resources/big.bin\nAll/Resources/exactly 1000.txt\nAll/Resources/exactly 999.txt\n"
            "All/Resources/menu link\nAll/Resources/menus/English/Nimbrel.txt\n"
            "All/Resources/menus folder link\n"
            "All/Resources/plugins/other.txt\nAll/Resources/plugins/PluginAdminLin.vyk\n"
            "All/Resources/plugins/PluginAdminWin.vyk\nAll/Resources/plugins/tool.exe\n"
            "All/Resources/text/English/Nimbrel.txt\n"
            "All/Weapons/bomb.wpn\nLinux/nimbrel\nMacintosh/Nimbrel.app/Contents/MacOS/Nimbrel\n"
            "Windows/nimbrel.exe\nWindows/readme.exe\nWindows/readme.txt\n");

  // Each archive is whole, holds one entry named like its file, and its
  // bytes are those the line's signature and sizes speak of.
  for (const file_history_struct& h : in.sim_info) {
    ASSERT_EQ(h.size(), 1u);
    const file_version_struct& r = h.back();
    const std::string archive = set + r.path + ".zip";
    const std::string leaf = r.path.substr(r.path.rfind('/') + 1);
    int status = -1;
    sh("unzip -tq " + shq(archive), &status);
    EXPECT_EQ(status, 0) << r.path;
    EXPECT_EQ(sh("unzip -Z1 " + shq(archive)), leaf + "\n");
    EXPECT_EQ(sh("unzip -p " + shq(archive) + " | md5sum | cut -c1-32"), r.sig_want + "\n");
    const long long bytes = std::stoll(sh("unzip -p " + shq(archive) + " | wc -c"));
    EXPECT_EQ(int(r.ext_size), int(double(bytes) * 0.001)) << r.path;
    EXPECT_EQ(int(r.zip_size), kb_of_size(archive)) << r.path;
    EXPECT_EQ(r.type, 0);
    EXPECT_EQ(r.version, 90017);
  }

  // Platform codes, sizes at the kilobyte's edge.
  const struct {
    const char* path;
    int platform, ext_kb;
  } lines[] = {{"All/Resources/plugins/PluginAdminLin.vyk", 6, 0},
               {"All/Resources/plugins/PluginAdminWin.vyk", 2, 0},
               {"All/Resources/plugins/other.txt", 0, 0},
               {"Linux/nimbrel", 3, 0},
               {"Macintosh/Nimbrel.app/Contents/MacOS/Nimbrel", 1, 0},
               {"Windows/nimbrel.exe", 2, 0},
               {"All/Resources/exactly 999.txt", 0, 0},
               {"All/Resources/exactly 1000.txt", 0, 1}};
  for (const auto& l : lines) {
    const file_version_struct* r = last_record(in, l.path);
    ASSERT_NE(r, nullptr) << l.path;
    EXPECT_EQ(r->platform, l.platform) << l.path;
    EXPECT_EQ(int(r->ext_size), l.ext_kb) << l.path;
  }

  // A link goes as its text; a program anyone may write loses the group and
  // world write bits; the Windows program is marked large-address-aware in
  // the master and packed so, the link beside it is packed as it stands.
  EXPECT_EQ(sh("unzip -p " + shq(set + "All/Resources/menu link.zip")),
            "menus/English/Nimbrel.txt");
  EXPECT_EQ(sh("unzip -p " + shq(set + "All/Resources/menus folder link.zip")), "menus");
  EXPECT_EQ(sh("zipinfo " + shq(set + "All/Resources/menu link.zip") + " | sed -n 3p | cut -c1-10"),
            "lrwxr-xr-x\n");
  EXPECT_EQ(sh("zipinfo " + shq(set + "Linux/nimbrel.zip") + " | sed -n 3p | cut -c1-10"),
            "-rwxr-xr-x\n");
  EXPECT_EQ(sh("unzip -p " + shq(set + "Windows/readme.exe.zip")), "readme.txt");
  EXPECT_EQ(read_file(master + "Windows/readme.txt"), "Read me on Windows.\n");
  const std::string exe = read_file(master + "Windows/nimbrel.exe");
  ASSERT_GT(exe.size(), 90u);
  EXPECT_EQ(exe[64 + 22] & 0x20, 0x20);
  EXPECT_EQ(read_file(master + "All/Resources/plugins/tool.exe")[64 + 22] & 0x20, 0);
  EXPECT_EQ(sh("md5sum < " + shq(master + "Windows/nimbrel.exe") + " | cut -c1-32"),
            last_record(in, "Windows/nimbrel.exe")->sig_want + "\n");

  // The manifest's archive, the version file, and nothing half-written.
  EXPECT_EQ(sh("unzip -Z1 " + shq(set + "directory.txt.zip")), "directory.txt\n");
  EXPECT_EQ(read_file(out + "dvd_version.txt"), "I\n900 version\nDVD\n\nVERSION " + kSet + "\n");
  EXPECT_EQ(sh("find " + shq(out) + " -name '.*'"), "");
  const std::string text = read_file(manifest);
  EXPECT_EQ(text.substr(0, 26), "I\n900 version\nINSTALLER\n\n\n");
  // Every DIR line stands after an empty line.
  auto count = [&](const std::string& part) {
    int n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
  };
  EXPECT_EQ(count("DIR "), 13);
  EXPECT_EQ(count("\n\nDIR "), 13);
}

// A maintainer may name the folders relative to where the script starts,
// and without their "/".
TEST_F(BuilderTest, RelativeLocationsWithoutTheirSlash) {
  sh("mkdir " + shq(dir + "out"));
  ASSERT_EQ(run_script(dir, "master", "out", ""), 0) << log_tail();
  char real[PATH_MAX];
  ASSERT_NE(realpath(dir.c_str(), real), nullptr);
  const std::string here = std::string(real) + "/";
  EXPECT_NE(builder_log.find("Builder: master " + here + "master/, "), std::string::npos)
      << log_tail();
  EXPECT_NE(builder_log.find(", sets in " + here + "out/, "), std::string::npos) << log_tail();
  EXPECT_EQ(sh("unzip -Z1 " + shq(set_of(dir + "out/") + "directory.txt.zip")), "directory.txt\n");
  expect_installer_takes_every_file(set_of(dir + "out/"));
}

// A place below the platform folder exactly `length` bytes long, of
// folders of 99 bytes and a file name, in a master's All/Resources.
std::string place_of_length(size_t length) {
  std::string place = "Resources/";
  while (length - place.size() > 120) place += std::string(98, 'd') + "x/";
  return place + std::string(length - place.size() - 4, 'n') + ".txt";
}

// Names up to the file system's limit less ".zip", and a path that just
// fits the longest destination, are packed and taken by the installer.
TEST_F(BuilderTest, LongestNamesAndDeepestPathsArePacked) {
  const std::string longest = place_of_length(kManifestPathLimit - kLongestDestination);
  const std::vector<std::string> places = {"Resources/" + std::string(242, 'a') + ".txt",
                                           "Resources/" + std::string(247, 'b') + ".txt", longest};
  for (const std::string& place : places) {
    sh("mkdir -p " + shq(master + "All/" + place.substr(0, place.rfind('/'))));
    write_file(master + "All/" + place, place);
  }
  const std::string out = dir + "out/";
  ASSERT_EQ(build(out), 0) << log_tail();
  for (const std::string& place : places)
    EXPECT_EQ(sh("unzip -p " + shq(set_of(out) + "All/" + place + ".zip")), place);
}

// The maintainers' script says which log it could not write and why, and
// still gives the builder's own status and reason.
TEST_F(BuilderTest, ALogThatCannotBeWrittenIsNamedWithItsReason) {
  const std::string log = dir + "no such folder/log.txt", out = dir + "out/";
  sh("mkdir " + shq(out));
  auto run = [&](int* status) {
    return sh("env BUILDER=" + shq(std::string(NIMBREL_BINARY_DIR) + "/nimbrel_builder") +
                  " BUILDER_LOG=" + shq(log) + " bash " + shq(source_file("tools/build_set.sh")) +
                  " " + shq(master) + " " + shq(out) + " 2>&1",
              status);
  };
  const std::string told =
      "build_set: could not write the log to " + log + ": No such file or directory\n";
  int status = -1;
  std::string said = run(&status);
  EXPECT_EQ(status, 2);
  EXPECT_EQ(said, told);
  expect_installer_takes_every_file(set_of(out));
  said = run(&status);
  EXPECT_EQ(status, 1);
  EXPECT_EQ(said.substr(0, told.size()), told);
  EXPECT_NE(said.find("build_set: the builder stopped (status 1):\n"), std::string::npos) << said;
  EXPECT_NE(said.find("Could not make the target_folder!\n"), std::string::npos) << said;
}

// [SECTION] The next release

TEST_F(BuilderTest, ASecondReleaseCarriesHistoriesForward) {
  ASSERT_EQ(build(dir + "out1/"), 0) << log_tail();
  std::string old = aged(manifest_of(dir + "out1/", "first.txt"), "old.txt");
  // A file whose platform code narrowed where it stands (it was for every
  // system, now it is for Linux only): its old history has another key and
  // lands where the packed file does, but not for every system it served.
  const std::string admin = "All/Resources/plugins/PluginAdminLin.vyk";
  sh("sed -i -E 's/^FILE 0 6 (90016 .* PluginAdminLin[.]vyk)$/FILE 0 0 \\1/' " + shq(old));
  // A file spelt otherwise before: an installation here holds both spellings.
  sh("sed -i -E 's/ big[.]bin$/ Big.bin/' " + shq(old));
  const std::string a = testing_support::md5sum_of("older revived");
  const std::string b = testing_support::md5sum_of("revived");
  // Histories the first release did not write: a file gone already, a file
  // that left and is junk by today's rules, one that came back, and a Linux
  // file that a file for every system now replaces in place.
  std::ofstream(old, std::ios::app) << "\nDIR All/Resources/\n"
                                    << "FILE 0 0 90010 1 1 " << a << " kept gone.txt\n"
                                    << "FILE 0 0 90012 0 0 GONE kept gone.txt\n"
                                    << "FILE 0 0 90010 1 1 " << a << " notes.bak\n"
                                    << "FILE 0 0 90010 0 0 " << a << " revived.txt\n"
                                    << "FILE 0 0 90012 0 0 GONE revived.txt\n"
                                    << "FILE 0 0 90014 0 0 " << b << " revived.txt\n"
                                    << "DIR Linux/Resources/\n"
                                    << "FILE 0 3 90010 0 0 " << a << " exactly 999.txt\n";

  // Changed, removed, added, brought back, and moved to the Linux folder
  // (it still lands in the same place of an installation).
  write_file(master + "All/Instructions/Manual with blanks.txt", "Read me second.\n");
  sh("rm " + shq(master + "All/Weapons/bomb.wpn"));
  write_file(master + "All/Weapons/missile.wpn", "missile\n");
  write_file(master + "All/Resources/revived.txt", "revived");
  sh("mkdir -p " + shq(master + "Linux/Resources/plugins") + " && mv " +
     shq(master + "All/Resources/plugins/other.txt") + " " +
     shq(master + "Linux/Resources/plugins/other.txt"));

  ASSERT_EQ(build(dir + "out2/", old), 0) << log_tail();
  const std::string manifest = manifest_of(dir + "out2/", "second.txt");
  ASSERT_EQ(read_directory(in, manifest, "t", dir_read_builder), dir_read) << in.manifest_problem;
  const std::string now = python_dump(manifest);
  EXPECT_EQ(dump_histories(in.sim_info), now);
  const std::string before = python_dump(old);

  auto sig = [&](const std::string& path) {
    return records_of(before, path).substr(records_of(before, path).size() - 33, 32);
  };
  auto packed = [&](const std::string& path) {
    const file_version_struct* r = last_record(in, path);
    return r ? r->sig_want : std::string("(none)");
  };
  const std::string manual = "All/Instructions/Manual with blanks.txt";
  const struct {
    std::string path, records;
  } cases[] = {
      {manual, "0 0 90016 0 1 " + sig(manual) + "\n0 0 90017 0 0 " + packed(manual) + "\n"},
      {"All/Weapons/bomb.wpn",
       "0 0 90016 0 0 " + sig("All/Weapons/bomb.wpn") + "\n0 0 90017 0 0 GONE\n"},
      {"All/Weapons/missile.wpn", "0 0 90017 0 0 " + packed("All/Weapons/missile.wpn") + "\n"},
      {"All/Resources/big.bin", "0 0 90017 300 300 " + sig("All/Resources/Big.bin") + "\n"},
      {"All/Resources/Big.bin",
       "0 0 90016 300 300 " + sig("All/Resources/Big.bin") + "\n0 0 90017 0 0 GONE\n"},
      {"All/Resources/kept gone.txt", "0 0 90010 1 1 " + a + "\n0 0 90012 0 0 GONE\n"},
      {"All/Resources/notes.bak", ""},
      {"All/Resources/revived.txt", "0 0 90010 0 0 " + a + "\n0 0 90017 0 0 " + b + "\n"},
      // Moved from All to the Linux folder: gone for the other systems.
      {"All/Resources/plugins/other.txt",
       "0 0 90016 0 0 " + sig("All/Resources/plugins/other.txt") + "\n0 0 90017 0 0 GONE\n"},
      // The packed history first, the departed one after a line of another path.
      {admin,
       "0 6 90017 0 0 " + sig(admin) + "\n0 0 90016 0 0 " + sig(admin) + "\n0 0 90017 0 0 GONE\n"},
      {"Linux/Resources/exactly 999.txt", ""},
      {"Linux/Resources/plugins/other.txt",
       "0 3 90017 0 0 " + sig("All/Resources/plugins/other.txt") + "\n"},
  };
  ASSERT_EQ(records_of(before, admin).substr(0, 4), "0 0 ");
  for (const auto& c : cases) EXPECT_EQ(records_of(now, c.path), c.records) << c.path;
  EXPECT_NE(builder_log.find("Left the set but not gone: Linux/Resources/exactly 999.txt "),
            std::string::npos)
      << log_tail();
  EXPECT_EQ(builder_log.find("Left the set but not gone: All/"), std::string::npos) << log_tail();
}

// [SECTION] What stops a build

// Each case changes a fresh copy of the master with a shell command run in
// it, builds, and expects status 1 with the text in the builder's log.
struct stop_case {
  const char* what;
  std::string change;
  std::string logged;
};

class BuilderStops : public BuilderTest {
 protected:
  // Outputs go into out_base (the test's folder by default).
  void expect_each_stops(const std::vector<stop_case>& cases, const std::string& old = "",
                         const std::string& out_base = "") {
    const std::string pristine = dir + "pristine/";
    sh("cp -a " + shq(master) + " " + shq(pristine));
    int n = 0;
    for (const stop_case& c : cases) {
      sh("rm -rf " + shq(master) + " && cp -a " + shq(pristine) + " " + shq(master));
      int status = -1;
      std::string said = sh("cd " + shq(master) + " && " + c.change + " 2>&1", &status);
      ASSERT_EQ(status, 0) << c.what << ": " << said;
      const std::string out =
          (out_base.empty() ? dir : out_base) + "out" + std::to_string(++n) + "/";
      EXPECT_EQ(build(out, old), 1) << c.what << "\n" << log_tail();
      EXPECT_NE(builder_log.find(c.logged), std::string::npos) << c.what << "\n" << log_tail();
      EXPECT_FALSE(std::ifstream(set_of(out) + "directory.txt.zip").good()) << c.what;
    }
  }
};

TEST_F(BuilderStops, NamesAndEntriesTheManifestCannotCarry) {
  const std::string deepest = place_of_length(kManifestPathLimit - kLongestDestination + 1);
  expect_each_stops({
      {"a copy", "echo x > 'All/Resources/menu copy.txt'", "found a copy file!"},
      {"a folder called a copy",
       "mkdir 'All/Resources/Docs copy' && echo x > 'All/Resources/Docs copy/a'",
       "found a copy file!\n"},
      {"source code", "echo x > All/Resources/main.cpp", "found a .cpp file!"},
      {"a file in All", "echo x > All/readme.txt",
       "I FOUND A FILE INSIDE THE 'ALL' FOLDER! WE SHOULD ONLY HAVE FOLDERS THERE!"},
      {"a stray folder in All", "mkdir All/Extra",
       "What the hell is THIS doing in here!?!?!?\nExtra\n"},
      {"a trailing blank", "echo x > 'All/Resources/a.txt '", "with a space at the end!"},
      {"a colon", "echo x > 'All/Resources/a:b.txt'", "found a  : in the path!"},
      {"a backslash", "echo x > 'All/Resources/a\\b.txt'", "found a \\ in the path!"},
      {"a leading blank", "echo x > 'All/Resources/ a.txt'", "a leading blank or a control"},
      {"a control character", "echo x > \"All/Resources/a$(printf '\\001')b\"",
       "a leading blank or a control"},
      {"a FIFO", "mkfifo All/Resources/pipe", "neither a file, a folder nor a link!"},
      {"a folder named like a text",
       "mkdir All/Resources/notes.txt && echo x > All/Resources/notes.txt/a",
       "found a folder named like a file"},
      {"a path too deep for the longest destination",
       "mkdir -p " + shq("All/" + deepest.substr(0, deepest.rfind('/'))) + " && echo x > " +
           shq("All/" + deepest),
       "The installer would refuse this file: a path too long for the destination!\n" + master +
           "All/" + deepest + "\n"},
      {"a name holding the red terrain's words", "echo x > 'All/Resources/900 red terrain.txt'",
       "The installer drops every file so named"},
      {"a name holding the orbit textures' words",
       "echo x > 'All/Aircraft/Zudad Izuvi Darurezi map.png'",
       "drops every file so named: the name holds the words of a folder the internet install "
       "leaves out!\n" +
           master + "All/Aircraft/Zudad Izuvi Darurezi map.png\n"},
      // Links the installer refuses: each inside the master, none inside an
      // installation, where the platform folder is left out.
      {"an absolute link", "ln -s /etc/hostname All/Resources/host",
       "found a link the installer refuses: it is absolute!\n" + master +
           "All/Resources/host\nin an installation for Macintosh\n"},
      {"a link that climbs out", "ln -s ../../Linux/nimbrel Windows/up",
       "found a link the installer refuses: it climbs out of the installation!\n" + master +
           "Windows/up\nin an installation for Windows\n"},
      {"a chain of links that leads out",
       "mkdir All/Resources/d && ln -s .. All/Resources/d/up && "
       "ln -s d/up/../../All/Weapons All/Resources/esc",
       "found a link the installer refuses: it climbs out of the installation!\n" + master +
           "All/Resources/esc\n"},
      {"a loop of links", "ln -s loop2 Linux/loop1 && ln -s loop1 Linux/loop2",
       "its links go round in a loop!\n" + master + "Linux/loop1\n"},
      {"a file beside the platform folders", "echo x > top.txt",
       "I CAN'T TELL WHAT TYPE OF FILE THIS IS!"},
      {"two names one letter case apart", "echo x > All/Resources/Big.bin",
       "differ only in letter case or platform!"},
      {"one history key from two folders",
       "mkdir -p Windows/Resources/plugins && echo y > "
       "Windows/Resources/plugins/PluginAdminWin.vyk",
       "differ only in letter case or platform!"},
      {"a text file named like a program", "echo x > Windows/notes.exe.txt",
       "Oops! We could not make a windows exe file large-address-aware!\nerror# 5.000000\n"},
      // The larger file is packed first, yet the first in the walk is told.
      {"two failures on two cores",
       "echo x > Windows/notes.exe.txt && head -c 2000000 /dev/zero > Windows/zz.exe.txt",
       "error# 5.000000\n" + master + "Windows/notes.exe.txt\n"},
  });
}

TEST_F(BuilderStops, RequiredItemsAndTheCustomersFile) {
  expect_each_stops({
      {"no Linux folder", "rm -r Linux", "!found_X86_fold"},
      {"no weapons", "rm -r All/Weapons", "!found_wpn_fold"},
      {"no plug-ins", "rm -r All/Resources/plugins", "!found_plug\t "},
      {"no English menus", "rm All/Resources/menus/English/Nimbrel.txt", "!found_men_file"},
      {"the customer's file",
       "mkdir -p 'All/Resources/customer only' && echo x > 'All/Resources/customer "
       "only/customer_private.dat'",
       " found_com_file"},
  });
}

TEST_F(BuilderStops, OldManifestsAndPlacesThatCannotBeUsed) {
  const std::string kHeader = "I\n900 version\nINSTALLER\n\n";
  const std::string sig(32, 'a');
  write_file(dir + "garbage.txt", "<html>not a manifest</html>\n");
  write_file(dir + "newer.txt", "I\n1000 version\nINSTALLER\n\n");
  write_file(dir + "this version.txt",
             kHeader + "DIR All/Resources/\nFILE 0 0 90017 0 0 " + sig + " big.bin\n");
  write_file(dir + "twice.txt", kHeader + "DIR All/Resources/\nFILE 0 0 90010 0 0 " + sig +
                                    " Big.bin\nDIR All/Other/\nFILE 0 0 9 0 0 " + sig +
                                    " x\nDIR All/Resources/\nFILE 0 0 90010 0 0 " + sig +
                                    " big.bin\n");
  // The walk's last file, once for every system, now for Windows only: its
  // GONE history could only follow the packed one's lines directly, and the
  // two would be read as one history.
  write_file(dir + "last.txt",
             kHeader + "DIR Windows/\nFILE 0 0 90010 1 1 " + sig + " nimbrel.exe\n");
  const struct {
    const char* what;
    std::string old;
    std::string logged;
  } cases[] = {
      {"leaving under the last packed name", dir + "last.txt",
       "A file left the set under the name of the last file packed!\n"
       "The installer would read the two as one history.\nWindows/nimbrel.exe\n"},
      {"missing", dir + "none.txt", "I tried to read a directory file that does not exist!"},
      {"not a manifest", dir + "garbage.txt", "I could not read the old directory!"},
      {"of a newer format", dir + "newer.txt", "I could not read the old directory!"},
      {"holding this version", dir + "this version.txt",
       "You idiot! I already have a version:\nversion_number 90017.000000\n"},
      {"one file twice", dir + "twice.txt",
       "WARNING: you appear to have a file TWICE in an old directory file."},
  };
  for (const auto& c : cases) {
    const std::string out = dir + "out-" + std::string(c.what) + "/";
    EXPECT_EQ(build(out, c.old), 1) << c.what;
    EXPECT_NE(builder_log.find(c.logged), std::string::npos) << c.what << "\n" << log_tail();
    // The builder reads it for its histories: no user is told to update.
    EXPECT_EQ(builder_log.find("newer than I can understand"), std::string::npos) << c.what;
  }

  // A set folder that exists, sets inside the master, a master inside the output.
  ASSERT_EQ(build(dir + "out/"), 0) << log_tail();
  EXPECT_EQ(build(dir + "out/"), 1);
  EXPECT_NE(builder_log.find("Could not make the target_folder!"), std::string::npos);
  EXPECT_EQ(build(master + "All/Output/sets/"), 1);
  EXPECT_NE(builder_log.find("The sets would go inside the master copy"), std::string::npos);
  EXPECT_EQ(build(dir), 1);
  EXPECT_NE(builder_log.find("The sets would go inside the master copy"), std::string::npos);
}

// A full disk under the sets is the machine's failure, and the alert says
// so in the system's words, not as a number of the archive library's.
TEST_F(BuilderStops, AFullDiskNamesTheCause) {
  const std::string disk = dir + "disk/";
  // Smaller than the master's big file, which does not compress.
  testing_support::small_disk small(disk, "200k");
  if (!small.mounted()) GTEST_SKIP() << small.why_not();
  EXPECT_EQ(build(disk + "out/"), 1) << log_tail();
  EXPECT_NE(builder_log.find("I could not zip a file!\nNo space left on device"),
            std::string::npos)
      << log_tail();
  EXPECT_EQ(builder_log.find("Unknown error occurred"), std::string::npos) << log_tail();
  EXPECT_FALSE(std::ifstream(set_of(disk + "out/") + "directory.txt.zip").good());
}

// Only an ordinary user meets a file or folder it may not read (root reads
// everything): the builder runs as "nobody" here.
TEST_F(BuilderStops, WhatCannotBeReadStopsTheBuild) {
  if (getuid() != 0) GTEST_SKIP() << "acting as another user needs root";
  const std::string mine = dir + "nobody/";
  sh("chmod 755 " + shq(dir) + " && mkdir " + shq(mine) + " && chown nobody " + shq(mine));
  as_user = "setpriv --reuid=65534 --regid=65534 --clear-groups env HOME=" + shq(mine);
  log_folder = mine;
  int status = -1;
  sh(as_user + " true", &status);
  if (status != 0) GTEST_SKIP() << "setpriv cannot act as nobody here";
  expect_each_stops(
      {
          {"a file", "chmod 000 All/Resources/big.bin",
           "I could not read a file of the master copy!\n" + master + "All/Resources/big.bin\n"},
          {"a folder", "chmod 000 All/Resources/plugins",
           "I could not read a folder of the master copy to its end!\n" + master +
               "All/Resources/plugins/\n"},
      },
      "", mine);
}

}  // namespace
}  // namespace builder_tests
