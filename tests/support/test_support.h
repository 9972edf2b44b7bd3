// Small helpers shared by the tests.
#pragma once

#include <string>

namespace testing_support {

// A fresh, empty folder under the build's scratch area; ends in "/".
std::string make_temp_dir(const std::string& tag);
// Removes the folders this process made (test programs do it when they end;
// programs without the test runner call it themselves).
void remove_temp_dirs();
// What remove_temp_dirs also removes: scratch a higher layer makes for
// itself, registered by that layer's support piece.
void also_remove_with_temp_dirs(void (*remove)());
// Whole file as bytes; "" when missing.
std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& bytes);
// A death test's child may run the test again from its start in a fresh
// process; the folder (named by tag) travels in the environment so both
// sides share it.
std::string death_dir(const char* tag);
// The child of a death test must not write preferences into the real home.
void isolate_home(const std::string& dir);
// Runs a shell command and returns its standard output; status in *status.
std::string run_command(const std::string& command, int* status = nullptr);
// The MD5 of the bytes (no NUL among them) as md5sum prints it: 32
// lower-case hex digits.
std::string md5sum_of(const std::string& bytes);

// A disk of `size` ("400k", "2m"), a tmpfs mounted at path (made when
// missing) for as long as the object lives. Only root may mount one: where
// it could not be, why_not() says why, for the test's skip.
class small_disk {
 public:
  small_disk(const std::string& path, const std::string& size);
  ~small_disk();
  small_disk(const small_disk&) = delete;
  small_disk& operator=(const small_disk&) = delete;
  bool mounted() const { return why_not_.empty(); }
  const std::string& why_not() const { return why_not_; }

 private:
  std::string path_, why_not_;
};

}  // namespace testing_support
