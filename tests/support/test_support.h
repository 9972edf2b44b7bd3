// Small helpers shared by the tests.
#pragma once

#include <string>

namespace testing_support {

// A fresh, empty folder under the build's scratch area; ends in "/".
std::string make_temp_dir(const std::string& tag);
// Whole file as bytes; "" when missing.
std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& bytes);
// Runs a shell command and returns its standard output; status in *status.
std::string run_command(const std::string& command, int* status = nullptr);

}  // namespace testing_support
