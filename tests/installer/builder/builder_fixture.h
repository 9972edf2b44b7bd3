// The builder's tests run the real builder program through the maintainers'
// script on a master copy that a test script makes, and read what it wrote
// with Info-ZIP, md5sum, the installer's own reader and a reader in Python.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <set>
#include <string>
#include <vector>

#include "core/constants.h"
#include "installer/builder/builder.h"
#include "installer/update/install.h"
#include "installer/update/manifest.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_support.h"

namespace builder_tests {

using testing_support::read_file;
using testing_support::run_command;
using testing_support::write_file;

inline std::string shq(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

inline std::string source_file(const std::string& rel) {
  return std::string(NIMBREL_SOURCE_DIR) + "/" + rel;
}

// Every history as the Python reader prints it: the path, then one line per
// record with its six fields.
inline std::string dump_histories(const std::vector<file_history_struct>& histories) {
  std::string out;
  for (const file_history_struct& h : histories) {
    out += h.front().path + "\n";
    for (const file_version_struct& r : h)
      out += "  " + std::to_string(r.type) + " " + std::to_string(r.platform) + " " +
             std::to_string(r.version) + " " + std::to_string(int(r.zip_size)) + " " +
             std::to_string(int(r.ext_size)) + " " + r.sig_want + "\n";
  }
  return out;
}

// Every archive of a set (a folder ending in "/") is a file the installer's
// own reader takes from the set's manifest, at a destination as long as
// sets are made for: no line refused, none dropped.
inline void expect_installer_takes_every_file(const std::string& set) {
  const std::string text =
      run_command("unzip -p " + shq(set + "directory.txt.zip") + " directory.txt");
  manifest_scan_options options;
  options.dest_length = kLongestDestination;
  std::vector<file_history_struct> histories;
  std::string problem;
  int version = 0;
  ASSERT_EQ(
      scan_manifest(text.data(), text.data() + text.size(), options, histories, &problem, &version),
      dir_read)
      << set << ": " << problem;
  std::set<std::string> taken;
  for (const file_history_struct& h : histories)
    if (h.back().sig_want != "GONE") taken.insert(h.back().path);
  std::string listed;
  for (const std::string& path : taken) listed += path + "\n";
  EXPECT_EQ(listed, run_command("cd " + shq(set) +
                                " && find . -name '*.zip' ! -path ./directory.txt.zip | "
                                "sed 's|^[.]/||; s|[.]zip$||' | LC_ALL=C sort"))
      << set;
}

class BuilderTest : public testing_support::TempFolderTest {
 protected:
  BuilderTest() : TempFolderTest("builder", with_log) {}

  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(TempFolderTest::SetUp());
    master = dir + "master/";
    ASSERT_EQ(sh("python3 " + shq(source_file("tests/installer/builder/make_master.py")) + " " +
                 shq(master)),
              "");
  }

  std::string sh(const std::string& command, int* status = nullptr) {
    return run_command(command, status);
  }

  // Runs the builder on the master into a fresh output folder; returns its
  // exit status and keeps its log in builder_log.
  int build(const std::string& output, const std::string& old_manifest = "") {
    run_command(as_user + " mkdir -p " + shq(output));
    const int status = run_script("", master, output, old_manifest);
    if (status == 0) expect_installer_takes_every_file(set_of(output));
    return status;
  }

  // The maintainers' script started in the folder `from` ("" for wherever
  // the test runs), with its arguments as given.
  int run_script(const std::string& from, const std::string& master_arg,
                 const std::string& output_arg, const std::string& old_manifest) {
    const std::string log_path =
        log_folder.empty() ? dir + "builder-log.txt" : log_folder + "log.txt";
    int status = -1;
    std::string said = run_command(
        (from.empty() ? "" : "cd " + shq(from) + " && ") + as_user +
            " env BUILDER=" + shq(std::string(NIMBREL_BINARY_DIR) + "/nimbrel_builder") +
            " BUILDER_LOG=" + shq(log_path) + " bash " + shq(source_file("tools/build_set.sh")) +
            " " + shq(master_arg) + " " + shq(output_arg) +
            (old_manifest.empty() ? "" : " " + shq(old_manifest)) + " 2>&1",
        &status);
    builder_log = read_file(log_path) + said;
    return status;
  }

  static std::string set_of(const std::string& output) { return output + build_name[0] + "/"; }

  // The set's manifest, unpacked by Info-ZIP into a file of its own.
  std::string manifest_of(const std::string& output, const std::string& name) {
    const std::string path = dir + name;
    run_command("unzip -p " + shq(set_of(output) + "directory.txt.zip") + " directory.txt > " +
                shq(path));
    return path;
  }

  std::string python_dump(const std::string& manifest) {
    int status = -1;
    std::string out = sh("python3 " + shq(source_file("tests/installer/builder/read_manifest.py")) +
                             " " + shq(manifest) + " 2>&1",
                         &status);
    EXPECT_EQ(status, 0) << out;
    return out;
  }

  // The manifest as a release built by the previous version of the program
  // would have left it: the same lines, an older version number.
  std::string aged(const std::string& manifest, const std::string& name) {
    const std::string path = dir + name;
    sh("sed -E 's/^(FILE [0-9]+ [0-9]+ )90017 /\\190016 /' " + shq(manifest) + " > " + shq(path));
    return path;
  }

  // The end of the builder's log, where its reasons are.
  std::string log_tail() const {
    return builder_log.size() > 1200 ? builder_log.substr(builder_log.size() - 1200) : builder_log;
  }

  std::string master;
  std::string builder_log;
  // A command that runs the builder as another user ("" for ourselves), and
  // a folder that user may write its log into.
  std::string as_user;
  std::string log_folder;
  // The install the tests read the sets' manifests into (and install them
  // with), reporting through the program's block.
  install_state in{stg};
};

}  // namespace builder_tests
