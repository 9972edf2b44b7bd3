// Archives we write are checked with Info-ZIP and Python's zipfile; archives
// they write (and crafted hostile ones) are unpacked by ours.
//
// Contents
//   [SECTION] Helpers and the fixture
//   [SECTION] Packing, read back by the peers
//   [SECTION] Round trips through our own unpacking
//   [SECTION] Resource forks and Finder information
//   [SECTION] Archives made by Info-ZIP
//   [SECTION] Crafted archives
#include "Files/zip.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/xattr.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "core/globals.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_support.h"

using testing_support::read_file;
using testing_support::run_command;
using testing_support::write_file;

namespace {

// [SECTION] Helpers and the fixture

class ZipTest : public testing_support::TempFolderTest {
 protected:
  ZipTest() : TempFolderTest("zip", with_log) {}
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(TempFolderTest::SetUp());
    mkdir((dir + "src").c_str(), 0755);
    mkdir((dir + "out").c_str(), 0755);
  }

  // Runs Python with zipfile at hand, in the test's folder; returns stdout.
  std::string py(const std::string& body) {
    write_file(dir + "script.py",
               "import zipfile, os, sys, struct\nos.chdir(sys.argv[1])\n" + body);
    int status = -1;
    std::string out = run_command("python3 '" + dir + "script.py' '" + dir + "' 2>&1", &status);
    EXPECT_EQ(status, 0) << out;
    return out;
  }

  std::string sh(const std::string& command, int* status = nullptr) {
    return run_command("cd '" + dir + "' && " + command, status);
  }

  // Extended attributes may be refused where the test's folder lives.
  bool xattrs_work() {
    std::string probe = dir + "probe";
    write_file(probe, "x");
    return setxattr(probe.c_str(), "user.probe", "1", 1, 0) == 0;
  }
};

std::string hex(const std::string& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

std::string pseudo_random(size_t n, unsigned seed) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) {
    seed = seed * 1103515245u + 12345u;
    s[i] = static_cast<char>(seed >> 16);
  }
  return s;
}

time_t local_time(int year, int mon, int day, int hour, int min, int sec) {
  struct tm t = {};
  t.tm_year = year - 1900;
  t.tm_mon = mon - 1;
  t.tm_mday = day;
  t.tm_hour = hour;
  t.tm_min = min;
  t.tm_sec = sec;
  t.tm_isdst = -1;
  return mktime(&t);
}

void set_mtime(const std::string& path, time_t when) {
  struct timeval tv[2] = {};
  tv[0].tv_sec = tv[1].tv_sec = when;
  ASSERT_EQ(utimes(path.c_str(), tv), 0);
}

// The value after a label in zipinfo -v output.
std::string field(const std::string& text, const std::string& label) {
  size_t at = text.find(label);
  if (at == std::string::npos) return "(missing " + label + ")";
  size_t start = text.find_first_not_of(' ', at + label.size());
  return text.substr(start, text.find('\n', start) - start);
}

struct stat lstat_of(const std::string& path) {
  struct stat st = {};
  lstat(path.c_str(), &st);
  return st;
}

// The AppleDouble block we expect for a fork and the first 16 bytes of
// Finder information.
std::string apple_double(const std::string& finder16, const std::string& fork) {
  std::string b("\x00\x05\x16\x07\x00\x02\x00\x00", 8);
  b += std::string(16, '\0');
  b += std::string(
      "\x00\x02"
      "\x00\x00\x00\x09"
      "\x00\x00\x00\x32"
      "\x00\x00\x00\x20"
      "\x00\x00\x00\x02"
      "\x00\x00\x00\x52",
      22);
  size_t n = fork.size();
  b += static_cast<char>(n >> 24);
  b += static_cast<char>(n >> 16);
  b += static_cast<char>(n >> 8);
  b += static_cast<char>(n);
  b += finder16 + std::string(16, '\0') + fork;
  return b;
}

// [SECTION] Packing, read back by the peers

TEST_F(ZipTest, PackedFileIsReadByInfoZipAndPython) {
  std::string content = "line of text\n" + pseudo_random(200000, 7);
  std::string src = dir + "src/data.bin";
  write_file(src, content);
  chmod(src.c_str(), 0640);
  time_t when = local_time(2019, 3, 14, 15, 9, 26);
  set_mtime(src, when);

  ASSERT_EQ(file_to_zip(src, dir + "data.bin.zip"), 0);

  int status = -1;
  sh("unzip -tq data.bin.zip", &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(sh("unzip -p data.bin.zip data.bin"), content);
  std::string info = sh("zipinfo -v data.bin.zip");
  EXPECT_EQ(field(info, "file system or operating system of origin:"), "Unix");
  EXPECT_EQ(field(info, "Unix file attributes (100640 octal):"), "-rw-r-----");
  EXPECT_EQ(field(info, "compression method:"), "deflated");
  EXPECT_EQ(py("z = zipfile.ZipFile('data.bin.zip')\n"
               "i = z.infolist()\n"
               "print(len(i), i[0].filename, i[0].create_system, oct(i[0].external_attr >> 16), "
               "i[0].date_time)\n"),
            "1 data.bin 3 0o100640 (2019, 3, 14, 15, 9, 26)\n");
}

TEST_F(ZipTest, PackedEmptyFileAndMissingSource) {
  write_file(dir + "src/empty", "");
  ASSERT_EQ(file_to_zip(dir + "src/empty", dir + "empty.zip"), 0);
  EXPECT_EQ(py("i = zipfile.ZipFile('empty.zip').infolist()\nprint(len(i), i[0].filename, "
               "i[0].file_size)\n"),
            "1 empty 0\n");

  EXPECT_EQ(file_to_zip(dir + "src/nothing", dir + "nothing.zip"), kMacFileNotFound);
  EXPECT_NE(log().find("file_to_zip failed with error -43.\nfile = "), std::string::npos);
}

TEST_F(ZipTest, LinkIsPackedAsItsTextAndRestoredOverAFile) {
  ASSERT_EQ(symlink("../somewhere/target.txt", (dir + "src/lnk").c_str()), 0);
  ASSERT_EQ(file_to_zip(dir + "src/lnk", dir + "lnk.zip"), 0);

  EXPECT_EQ(py("i = zipfile.ZipFile('lnk.zip').infolist()\n"
               "print(len(i), i[0].filename, i[0].compress_type, hex(i[0].external_attr))\n"
               "print(zipfile.ZipFile('lnk.zip').read('lnk').decode())\n"),
            "1 lnk 0 0xa1ed0000\n../somewhere/target.txt\n");
  EXPECT_EQ(sh("zipinfo lnk.zip lnk | cut -c1-10"), "lrwxr-xr-x\n");

  write_file(dir + "out/lnk", "a plain file in the way");
  ASSERT_EQ(zip_to_file(dir + "lnk.zip", dir + "out/"), 0);
  char text[100] = {};
  ASSERT_GT(readlink((dir + "out/lnk").c_str(), text, sizeof text - 1), 0);
  EXPECT_STREQ(text, "../somewhere/target.txt");
}

// A link's text is read whole, up to the longest a path can be, and comes
// back the same; a "._name" fork larger than any archive may carry is not
// packed, and the half-made archive goes.
TEST_F(ZipTest, LongLinksKeepTheirWholeTextAndOversizedForksAreNotPacked) {
  for (size_t length : {600u, 4095u}) {
    SCOPED_TRACE(length);
    std::string target(length, 't');
    target[0] = '/';
    std::string link = dir + "src/long" + std::to_string(length);
    ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
    ASSERT_EQ(file_to_zip(link, dir + "long.zip"), 0);
    EXPECT_EQ(
        py("print(len(zipfile.ZipFile('long.zip').read('long" + std::to_string(length) + "')))\n"),
        std::to_string(length) + "\n");
    ASSERT_EQ(zip_to_file(dir + "long.zip", dir + "out/"), 0);
    char back[5000] = {};
    EXPECT_EQ(readlink((dir + "out/long" + std::to_string(length)).c_str(), back, sizeof back),
              static_cast<ssize_t>(length));
    EXPECT_EQ(std::string(back), target);
  }

  write_file(dir + "src/big", "data");
  write_file(dir + "src/._big", std::string(kMaxAppleDouble + 1, '\0'));
  EXPECT_EQ(file_to_zip(dir + "src/big", dir + "big.zip"), EFBIG);
  EXPECT_NE(access((dir + "big.zip").c_str(), F_OK), 0) << "no half-made archive";
}

// [SECTION] Round trips through our own unpacking

TEST_F(ZipTest, RoundTripKeepsBytesModeAndReplacesReadOnlyTarget) {
  std::string content = pseudo_random(3 << 20, 11);
  std::string src = dir + "src/tool";
  write_file(src, content);
  chmod(src.c_str(), 0751);
  ASSERT_EQ(file_to_zip(src, dir + "tool.zip"), 0);

  std::string out = dir + "out/tool";
  write_file(out, "old");
  chmod(out.c_str(), 0444);
  std::string first;
  ASSERT_EQ(zip_to_file(dir + "tool.zip", dir + "out/", &first), 0);
  EXPECT_EQ(first, "tool");
  EXPECT_EQ(read_file(out), content);
  EXPECT_EQ(lstat_of(out).st_mode & 07777, 0751u);
}

TEST_F(ZipTest, UseGivenNameWritesFirstEntryUnderThatName) {
  write_file(dir + "src/a.txt", "alpha");
  ASSERT_EQ(file_to_zip(dir + "src/a.txt", dir + "a.zip"), 0);
  std::string name = "renamed.txt";
  ASSERT_EQ(zip_to_file(dir + "a.zip", dir + "out/", &name, 1), 0);
  EXPECT_EQ(name, "a.txt");
  EXPECT_EQ(read_file(dir + "out/renamed.txt"), "alpha");
  EXPECT_NE(access((dir + "out/a.txt").c_str(), F_OK), 0);
}

// The entry's own date decides summer time: a winter file unpacked in summer
// (or the other way round) keeps its clock time.
TEST_F(ZipTest, DatesSurviveDaylightSavingChange) {
  setenv("TZ", "Europe/Berlin", 1);
  tzset();
  const time_t dates[] = {local_time(2021, 1, 15, 12, 30, 10), local_time(2021, 7, 15, 12, 30, 10),
                          local_time(2021, 3, 28, 1, 59, 58), local_time(2021, 10, 31, 4, 0, 0)};
  for (time_t when : dates) {
    std::string src = dir + "src/dated";
    write_file(src, "x");
    set_mtime(src, when);
    ASSERT_EQ(file_to_zip(src, dir + "dated.zip"), 0);
    ASSERT_EQ(zip_to_file(dir + "dated.zip", dir + "out/"), 0);
    EXPECT_EQ(lstat_of(dir + "out/dated").st_mtime, when) << ctime(&when);
  }
}

// A zip's DOS date holds 1980 to 2107: a time outside is stored as the
// nearest one it can hold, never wrapped round into the range.
TEST_F(ZipTest, TimesOutsideTheDosDateRangeAreClamped) {
  const std::string first = "1980-01-01 00:00:00\n", last = "2107-12-31 23:59:58\n";
  const struct {
    time_t when;
    std::string stored;
  } cases[] = {
      {0, first},
      {local_time(1979, 12, 31, 23, 59, 58), first},
      {-(time_t(1) << 40), first},
      {local_time(1980, 1, 1, 0, 0, 0), first},
      {local_time(2107, 12, 31, 23, 59, 58), last},
      {local_time(2108, 1, 1, 0, 0, 0), last},
      {local_time(2200, 6, 1, 12, 0, 0), last},
      {time_t(1) << 40, last},
  };
  std::string expected;
  int n = 0;
  for (const auto& c : cases) {
    const std::string src = dir + "src/dated" + std::to_string(n);
    write_file(src, "x");
    set_mtime(src, c.when);
    ASSERT_EQ(file_to_zip(src, dir + "dated" + std::to_string(n++) + ".zip"), 0);
    expected += std::to_string(c.when) + " " + c.stored;
  }
  std::string times;
  for (const auto& c : cases) times += std::to_string(c.when) + ",";
  EXPECT_EQ(py("for n, when in enumerate([" + times +
               "]):\n"
               "  d = zipfile.ZipFile('dated%d.zip' % n).infolist()[0].date_time\n"
               "  print(when, '%04d-%02d-%02d %02d:%02d:%02d' % d)\n"),
            expected);
}

// [SECTION] Resource forks and Finder information

TEST_F(ZipTest, ForkAndFinderInfoRoundTripThroughAttributes) {
  if (!xattrs_work()) GTEST_SKIP() << "file system refuses user attributes";
  std::string src = dir + "src/doc";
  write_file(src, "data fork");
  std::string fork = "0123456789";
  std::string finder =
      std::string("TEXTnimb\x01\x00\x00\x10\x00\x20\x00\x00", 16) + "EXTENDEDHALF1234";
  ASSERT_EQ(setxattr(src.c_str(), "user.com.apple.ResourceFork", fork.data(), fork.size(), 0), 0);
  ASSERT_EQ(setxattr(src.c_str(), "user.com.apple.FinderInfo", finder.data(), 32, 0), 0);
  ASSERT_EQ(file_to_zip(src, dir + "doc.zip"), 0);

  EXPECT_EQ(
      py("z = zipfile.ZipFile('doc.zip')\n"
         "print(z.namelist(), z.getinfo('__MACOSX/._doc').file_size)\n"
         "print(z.read('__MACOSX/._doc').hex())\n"),
      "['doc', '__MACOSX/._doc'] 92\n" + hex(apple_double(finder.substr(0, 16), fork)) + "\n");

  std::string out = dir + "out/doc";
  ASSERT_EQ(zip_to_file(dir + "doc.zip", dir + "out/"), 0);
  EXPECT_EQ(read_file(out), "data fork");
  EXPECT_EQ(sh("getfattr --only-values -n user.com.apple.ResourceFork out/doc"), fork);
  // Only the classic half travels; the extended half of a new file is zero.
  EXPECT_EQ(
      sh("getfattr -e hex -n user.com.apple.FinderInfo out/doc | grep ="),
      "user.com.apple.FinderInfo=0x" + hex(finder.substr(0, 16)) + std::string(32, '0') + "\n");
}

// A fork larger than any file system takes as one attribute (64 KiB) is kept
// beside the file as "._name", and packing picks it up from there again.
TEST_F(ZipTest, OversizedForkFallsBackToAppleDoubleFile) {
  std::string fork = pseudo_random(70000, 3);
  std::string finder16 = std::string("APPLnimb") + std::string(8, '\0');
  std::string block = apple_double(finder16, fork);
  write_file(dir + "src/big", "data");
  write_file(dir + "src/._big", block);
  ASSERT_EQ(file_to_zip(dir + "src/big", dir + "big.zip"), 0);
  EXPECT_TRUE(py("print(zipfile.ZipFile('big.zip').read('__MACOSX/._big').hex())\n") ==
              hex(block) + "\n");

  ASSERT_EQ(zip_to_file(dir + "big.zip", dir + "out/"), 0);
  EXPECT_EQ(read_file(dir + "out/big"), "data");
  EXPECT_TRUE(read_file(dir + "out/._big") == block);
  EXPECT_NE(log().find("kept in " + dir + "out/._big"), std::string::npos) << log();
}

// [SECTION] Archives made by Info-ZIP

TEST_F(ZipTest, UnpacksInfoZipTreeWithFoldersModesAndLinks) {
  mkdir((dir + "tree").c_str(), 0755);
  mkdir((dir + "tree/sub").c_str(), 0755);
  write_file(dir + "tree/sub/run.sh", "#!/bin/sh\n");
  chmod((dir + "tree/sub/run.sh").c_str(), 0700);
  ASSERT_EQ(symlink("sub/run.sh", (dir + "tree/go").c_str()), 0);
  int status = -1;
  sh("zip -qry tree.zip tree", &status);
  ASSERT_EQ(status, 0);

  ASSERT_EQ(zip_to_file(dir + "tree.zip", dir + "out/"), 0);
  EXPECT_EQ(read_file(dir + "out/tree/sub/run.sh"), "#!/bin/sh\n");
  EXPECT_EQ(lstat_of(dir + "out/tree/sub/run.sh").st_mode & 0777, 0700u);
  EXPECT_TRUE(S_ISLNK(lstat_of(dir + "out/tree/go").st_mode));
  EXPECT_EQ(read_file(dir + "out/tree/go"), "#!/bin/sh\n");
}

// [SECTION] Crafted archives

struct crafted_case {
  const char* label;
  const char* python;  // writes c.zip; entries via w(name, data, attr=..., ...)
  int expected;
  const char* must_not_exist;  // relative to the test folder, or ""
};

const char kCraftPrelude[] =
    "z = zipfile.ZipFile('c.zip', 'w')\n"
    "def w(name, data, attr=0o100644 << 16, system=3, method=zipfile.ZIP_DEFLATED, date=(2001, 2, "
    "3, 4, 5, 6)):\n"
    "    i = zipfile.ZipInfo(name, date)\n"
    "    i.external_attr = attr\n"
    "    i.create_system = system\n"
    "    i.compress_type = method\n"
    "    z.writestr(i, data)\n"
    "def set_attr(index, attr):\n"
    "    d = bytearray(open('c.zip', 'rb').read())\n"
    "    at = -1\n"
    "    for _ in range(index + 1): at = d.find(b'PK\\x01\\x02', at + 1)\n"
    "    d[at + 38:at + 42] = struct.pack('<I', attr)\n"
    "    open('c.zip', 'wb').write(d)\n"
    "def patch(index, method=None, crc=None, usize=None):\n"
    "    d = bytearray(open('c.zip', 'rb').read())\n"
    "    for sig, off in ((b'PK\\x03\\x04', 0), (b'PK\\x01\\x02', 2)):\n"
    "        at = -1\n"
    "        for _ in range(index + 1): at = d.find(sig, at + 1)\n"
    "        if method is not None: d[at + 8 + off:at + 10 + off] = struct.pack('<H', method)\n"
    "        if crc is not None: d[at + 14 + off:at + 18 + off] = struct.pack('<I', crc)\n"
    "        if usize is not None: d[at + 22 + off:at + 26 + off] = struct.pack('<I', usize)\n"
    "    open('c.zip', 'wb').write(d)\n"
    "def ad(count, descs, body=b'', magic=b'\\x00\\x05\\x16\\x07'):\n"
    "    h = magic + b'\\x00\\x02\\x00\\x00' + bytes(16) + struct.pack('>H', count)\n"
    "    return h + b''.join(struct.pack('>III', *d) for d in descs) + body\n";

TEST_F(ZipTest, CraftedArchivesAreRefusedOrReadAsExpected) {
  const crafted_case cases[] = {
      {"parent step", "w('../evil', b'x')", kZipBadEntryName, "evil"},
      {"inner parent step", "w('a/../../evil', b'x')", kZipBadEntryName, "evil"},
      {"absolute", "w('/' + os.getcwd().lstrip('/') + '/evil', b'x')", kZipBadEntryName, "evil"},
      {"link then file", "w('lnk', b'..', attr=0o120777 << 16)\nw('lnk/evil', b'x')",
       kZipBadEntryName, "evil"},
      {"link then fork", "w('lnk', b'..', attr=0o120777 << 16)\nw('__MACOSX/lnk/._evil', b'x')",
       kZipBadEntryName, "._evil"},
      {"256-byte name", "w('n' * 256, b'x')", kZipBadEntryName, ""},
      {"255-byte name", "w('n' * 255, b'x')", 0, ""},
      {"no folder entry", "w('nodir/file', b'x')", ENOENT, ""},
      {"short AppleDouble", "w('f', b'x')\nw('__MACOSX/._f', b'\\x00\\x05\\x16\\x07\\x00\\x02')",
       kZipBadForkHeader, ""},
      {"bad magic", "w('f', b'x')\nw('__MACOSX/._f', ad(0, [], magic=b'ABCD'))", kZipBadForkHeader,
       ""},
      {"lying count", "w('f', b'x')\nw('__MACOSX/._f', ad(3, [(2, 50, 1)]))", kZipBadForkHeader,
       ""},
      {"lying fork length", "w('f', b'x')\nw('__MACOSX/._f', ad(1, [(2, 38, 4000)], b'abc'))",
       kZipBadForkHeader, ""},
      {"wrapping offset", "w('f', b'x')\nw('__MACOSX/._f', ad(1, [(2, 0xffffffff, 2)], b'abc'))",
       kZipBadForkHeader, ""},
      {"fork for a missing file", "w('__MACOSX/._ghost', ad(1, [(2, 38, 3)], b'abc'))", 0,
       "out/ghost"},
      {"macosx folder entry", "w('__MACOSX/', b'', attr=0o40755 << 16)\nw('f', b'x')", 0,
       "out/__MACOSX"},
      // What an entry declares is what it must inflate to, and links and
      // forks past their bounds are refused before they are read.
      {"empty entries", "w('e1', b'')\nw('e2', b'', method=zipfile.ZIP_STORED)", 0, ""},
      {"declares less than inflates",
       "w('f', b'A' * 100)\nz.close()\nimport zlib\npatch(0, crc=zlib.crc32(b'A' * 50), usize=50)",
       kZipCannotRead, "out/f"},
      {"stored, declares less",
       "w('f', b'A' * 100, method=zipfile.ZIP_STORED)\nz.close()\nimport zlib\n"
       "patch(0, crc=zlib.crc32(b'A' * 50), usize=50)",
       kZipCannotRead, "out/f"},
      {"declares more than inflates", "w('f', b'A' * 100)\nz.close()\npatch(0, usize=200)",
       kZipCannotRead, "out/f"},
      {"method we do not inflate",
       "w('f', b'plain', method=zipfile.ZIP_STORED)\nz.close()\npatch(0, method=12)",
       kZipBadArchive, "out/f"},
      {"link as long as a path", "w('lnk', b'a' * 4096, attr=0o120777 << 16)", ENAMETOOLONG,
       "out/lnk"},
      {"link declaring 2 GB",
       "w('lnk', b'target', attr=0o120777 << 16)\nz.close()\npatch(0, usize=0x7fffffff)",
       ENAMETOOLONG, "out/lnk"},
      {"link with a NUL", "w('lnk', b'a\\x00b', attr=0o120777 << 16)", kZipBadEntryName, "out/lnk"},
      {"fork past the bound", "w('f', b'x')\nw('__MACOSX/._f', bytes((17 << 20) + 1))",
       kZipBadForkHeader, "out/._f"},
      {"fork declaring 1 GB",
       "w('f', b'x')\nw('__MACOSX/._f', ad(1, [(2, 38, 3)], b'abc'))\nz.close()\n"
       "patch(1, usize=1 << 30)",
       kZipBadForkHeader, "out/._f"},
      {"corrupt stored byte",
       "w('f', b'HELLO-CRC-TEST', method=zipfile.ZIP_STORED)\nz.close()\n"
       "d = open('c.zip', 'rb').read().replace(b'HELLO-CRC', b'HELLO-CRX')\n"
       "open('c.zip', 'wb').write(d)",
       UNZ_CRCERROR, ""},
  };
  for (const crafted_case& c : cases) {
    SCOPED_TRACE(c.label);
    sh("rm -rf out c.zip evil ._evil && mkdir out");
    py(std::string(kCraftPrelude) + c.python + "\nif z.fp: z.close()\n");
    EXPECT_EQ(zip_to_file(dir + "c.zip", dir + "out/"), c.expected);
    if (*c.must_not_exist) {
      EXPECT_NE(access((dir + c.must_not_exist).c_str(), F_OK), 0);
    }
  }
}

// A damaged download must not cost the user the file it was meant to replace.
TEST_F(ZipTest, DamagedEntryLeavesTheOldTargetAndNoStrayFile) {
  py(std::string(kCraftPrelude) +
     "w('f', b'NEW-CONTENT-' * 1000, method=zipfile.ZIP_STORED)\nz.close()\n"
     "d = open('c.zip', 'rb').read().replace(b'NEW-CONTENT-NEW', b'NEW-CONTENT-BAD', 1)\n"
     "open('c.zip', 'wb').write(d)\n");
  write_file(dir + "out/f", "old and precious");
  EXPECT_EQ(zip_to_file(dir + "c.zip", dir + "out/"), UNZ_CRCERROR);
  EXPECT_EQ(read_file(dir + "out/f"), "old and precious");
  EXPECT_EQ(sh("ls -A out"), "f\n");
}

TEST_F(ZipTest, ForkTargetStripsOnlyTheLeadingDotUnderscore) {
  if (!xattrs_work()) GTEST_SKIP() << "file system refuses user attributes";
  py(std::string(kCraftPrelude) +
     "w('x._y', b'file')\nw('dir/', b'', attr=0o40755 << 16)\nw('dir/name', b'file')\n"
     "w('__MACOSX/._x._y', ad(1, [(2, 38, 3)], b'one'))\n"
     "w('__MACOSX/dir/._name', ad(1, [(2, 38, 3)], b'two'))\nz.close()\n");
  ASSERT_EQ(zip_to_file(dir + "c.zip", dir + "out/"), 0);
  EXPECT_EQ(sh("getfattr --only-values -n user.com.apple.ResourceFork out/x._y"), "one");
  EXPECT_EQ(sh("getfattr --only-values -n user.com.apple.ResourceFork out/dir/name"), "two");
  EXPECT_NE(access((dir + "out/x.y").c_str(), F_OK), 0);
}

// DOS hosts leave the upper half empty: such bits are no mode, but the date
// still counts; attributes of zero keep the system's mode and time.
TEST_F(ZipTest, AttributesFromDosHostsKeepDefaultMode) {
  py(std::string(kCraftPrelude) +
     "w('dos', b'x', attr=0x20, system=0)\nw('zero', b'x', system=0)\nz.close()\n"
     // zipfile will not write attributes of zero itself.
     "set_attr(1, 0)\n");
  time_t before = time(nullptr);
  ASSERT_EQ(zip_to_file(dir + "c.zip", dir + "out/"), 0);
  mode_t mask = umask(0);
  umask(mask);
  struct stat dos = lstat_of(dir + "out/dos"), zero = lstat_of(dir + "out/zero");
  EXPECT_EQ(dos.st_mode & 0777, 0666u & ~mask);
  EXPECT_EQ(dos.st_mtime, local_time(2001, 2, 3, 4, 5, 6));
  EXPECT_EQ(zero.st_mode & 0777, 0666u & ~mask);
  EXPECT_GE(zero.st_mtime, before - 2);
}

TEST_F(ZipTest, MissingArchiveLogsAndReturnsCannotOpen) {
  EXPECT_EQ(zip_to_file(dir + "none.zip", dir + "out/"), kZipCannotOpen);
  std::string text = log();
  std::string path = dir + "none.zip";
  EXPECT_NE(text.find("OK I am about to report that I could not open a zip file for extraction!\n"
                      "That incoming file is " +
                      path + "\nIn c-form, it is " + path + "\nThe size is " +
                      std::to_string(path.size()) + "\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("Zip to file failed with error err = 20001. file = "), std::string::npos);
}

}  // namespace
