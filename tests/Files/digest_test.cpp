// File digests against md5sum, the executable bit, the large-address flag on
// crafted Windows headers, loading libraries by framework name, and launching.
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "core/globals.h"
#include "Files/errors.h"
#include "Files/io_utils.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_support.h"

using testing_support::read_file;
using testing_support::run_command;
using testing_support::write_file;

namespace {

class DigestTest : public testing_support::TempFolderTest {
 protected:
  DigestTest() : TempFolderTest("digest") {}
  std::string md5sum(const std::string& path) {
    int status = -1;
    std::string out = run_command("md5sum < '" + path + "'", &status);
    EXPECT_EQ(status, 0);
    return out.substr(0, 32);
  }
};

// ---------------------------------------------------------------------------
// Signatures
// ---------------------------------------------------------------------------

TEST_F(DigestTest, SignatureMatchesMd5sum) {
  std::string big(200000, 0);
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7919 % 251);
  struct Case {
    const char* name;
    std::string bytes;
  } cases[] = {{"empty", ""}, {"short.txt", "I\n900 version\n"}, {"big.bin", big}};
  for (const Case& c : cases) {
    write_file(dir + c.name, c.bytes);
    std::string sig;
    EXPECT_EQ(calc_file_md5(dir + c.name, sig), 0);
    EXPECT_EQ(sig, md5sum(dir + c.name)) << c.name;
  }
  EXPECT_EQ(md5sum(dir + "empty"), "d41d8cd98f00b204e9800998ecf8427e");
}

TEST_F(DigestTest, LinkIsDigestedByItsText) {
  write_file(dir + "big.bin", std::string(100000, 'q'));
  ASSERT_EQ(symlink("big.bin", (dir + "link").c_str()), 0);
  ASSERT_EQ(symlink("gone.bin", (dir + "dangling").c_str()), 0);
  write_file(dir + "text", "big.bin");
  std::string sig;
  EXPECT_EQ(calc_file_md5(dir + "link", sig), 0);
  EXPECT_EQ(sig, md5sum(dir + "text"));
  EXPECT_EQ(calc_file_md5(dir + "dangling", sig), 0);
  write_file(dir + "text", "gone.bin");
  EXPECT_EQ(sig, md5sum(dir + "text"));
}

TEST_F(DigestTest, UnreadableFileLeavesSignatureAlone) {
  std::string sig = "previous";
  EXPECT_EQ(calc_file_md5(dir + "missing", sig), kFileCannotOpen);
  EXPECT_EQ(calc_file_md5(dir, sig), kFileCannotOpen);
  EXPECT_EQ(sig, "previous");
}

// A sparse file just over 4 GiB: a 32-bit length would hash a few bytes only.
TEST_F(DigestTest, FileOverFourGigabytesIsHashedWhole) {
  std::string path = dir + "huge.bin";
  int fd = open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  const off_t at = (off_t(1) << 32) + 3;
  ASSERT_EQ(pwrite(fd, "tail", 4, at), 4);
  close(fd);
  std::string sig;
  ASSERT_EQ(calc_file_md5(path, sig), 0);
  EXPECT_EQ(sig, md5sum(path));
}

// ---------------------------------------------------------------------------
// Executables
// ---------------------------------------------------------------------------

TEST_F(DigestTest, MakeFileExecutable) {
  write_file(dir + "tool", "#!/bin/sh\n");
  ASSERT_EQ(chmod((dir + "tool").c_str(), 0600), 0);
  EXPECT_EQ(make_file_executable((dir + "tool").c_str()), 0);
  struct stat st;
  ASSERT_EQ(stat((dir + "tool").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0755u);
  EXPECT_EQ(make_file_executable((dir + "missing").c_str()), ENOENT);
}

std::string windows_program(uint32_t pe_offset, bool pe_signature, uint16_t characteristics) {
  std::string b(pe_offset + 24 + 16, '\0');
  b[0] = 'M';
  b[1] = 'Z';
  for (int i = 0; i < 4; ++i) b[60 + i] = static_cast<char>(pe_offset >> (8 * i));
  if (pe_signature) b.replace(pe_offset, 4, std::string("PE\0\0", 4));
  b[pe_offset + 4] = 0x4c;  // machine: i386
  b[pe_offset + 5] = 0x01;
  b[pe_offset + 22] = static_cast<char>(characteristics & 0xff);
  b[pe_offset + 23] = static_cast<char>(characteristics >> 8);
  return b;
}

TEST_F(DigestTest, LargeAddressAware) {
  std::string program = windows_program(0x80, true, 0x0102);
  std::string flagged = program;
  flagged[0x80 + 22] = 0x22;
  struct Case {
    const char* name;
    std::string bytes;
    int result;
    std::string after;
  } cases[] = {
      {"prog.exe", program, 0, flagged},
      {"flagged.exe", flagged, 0, flagged},  // a second pass changes nothing
      {"readme.txt", std::string(100, 'x'), kExeNotDos, std::string(100, 'x')},
      {"dos.exe", windows_program(0x80, false, 0), kExeNotPe, windows_program(0x80, false, 0)},
      {"short.exe", "MZ", EIO, "MZ"},
      {"cut.exe", program.substr(0, 0x80 + 10), EIO, program.substr(0, 0x80 + 10)},
  };
  for (const Case& c : cases) {
    write_file(dir + c.name, c.bytes);
    EXPECT_EQ(make_file_large_address_aware(dir + c.name), c.result) << c.name;
    EXPECT_EQ(read_file(dir + c.name), c.after) << c.name;
  }
  EXPECT_EQ(make_file_large_address_aware(dir + "missing.exe"), ENOENT);
}

// ---------------------------------------------------------------------------
// Libraries by framework name
// ---------------------------------------------------------------------------

TEST_F(DigestTest, LoadBundleByFilename) {
  void* handle = nullptr;
  ASSERT_EQ(load_bundle_by_filename("OpenGL.framework", 0, &handle), 0);
  ASSERT_NE(handle, nullptr);
  EXPECT_NE(dlsym(handle, "glGetString"), nullptr);
  dlclose(handle);
  EXPECT_EQ(load_bundle_by_filename("OpenGL.framework", 1, nullptr), 0);
  EXPECT_EQ(load_bundle_by_filename("Nothing.framework", 0, &handle), kMacFileNotFound);
  EXPECT_EQ(load_bundle_by_filename("libnimbrel-absent.so.1", 0, &handle), kMacBadName);
  EXPECT_EXIT(load_bundle_by_filename("Nothing.framework", 1, nullptr),
              ::testing::ExitedWithCode(1), "Could not find bundle in frameworks folder");
  EXPECT_EXIT(load_bundle_by_filename("libnimbrel-absent.so.1", 1, nullptr),
              ::testing::ExitedWithCode(1), "Could not load code for framework");
}

// ---------------------------------------------------------------------------
// Launching
// ---------------------------------------------------------------------------

// A program that records its arguments, then moves the record into place so
// the test never reads half a file.
void write_recorder(const std::string& program, const std::string& record) {
  write_file(program, "#!/bin/sh\nprintf '%s|' \"$#\" \"$0\" \"$@\" > '" + record +
                          ".part' && mv '" + record + ".part' '" + record + "'\n");
  ASSERT_EQ(chmod(program.c_str(), 0755), 0);
}

std::string wait_for(const std::string& path) {
  for (int i = 0; i < 200; ++i) {
    std::string got = read_file(path);
    if (!got.empty()) return got;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return "";
}

TEST_F(DigestTest, LaunchRunsTheProgramAndEnds) {
  ASSERT_EQ(mkdir((dir + "Tool").c_str(), 0755), 0);
  write_recorder(dir + "Tool/Tool", dir + "with_dest");
  EXPECT_EXIT(launch_app(dir + "Tool/", "/home/u/My Sims/"), ::testing::ExitedWithCode(1), "");
  EXPECT_EQ(wait_for(dir + "with_dest"), "2|" + dir + "Tool/Tool|-path|/home/u/My Sims/|");

  write_recorder(dir + "plain", dir + "no_dest");
  EXPECT_EXIT(launch_app(dir + "plain", ""), ::testing::ExitedWithCode(1), "");
  EXPECT_EQ(wait_for(dir + "no_dest"), "0|" + dir + "plain|");
}

TEST_F(DigestTest, FailedLaunchIsReportedAndTheProgramGoesOn) {
  xer.open(dir + "Log.txt", std::ios::out | std::ios::trunc);
  write_file(dir + "not_executable", "#!/bin/sh\n");
  EXPECT_EQ(launch_app(dir + "not_executable", "/x/"), EACCES);
  EXPECT_EQ(launch_app(dir + "missing", ""), ENOENT);
  ASSERT_EQ(mkdir((dir + "Empty.app").c_str(), 0755), 0);
  EXPECT_EQ(launch_app(dir + "Empty.app", ""), ENOENT);
  xer.close();
  std::string log = read_file(dir + "Log.txt");
  EXPECT_NE(log.find("Launching: " + dir + "not_executable with /x/\n"), std::string::npos) << log;
  EXPECT_NE(log.find("Launching: " + dir + "Empty.app/Empty.app with \n"), std::string::npos)
      << log;
}

}  // namespace
