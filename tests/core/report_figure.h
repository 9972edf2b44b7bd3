// Reading the memory report's figures back, for the report's tests on the
// ground floor and with the shell.
#pragma once

#include <cstdint>
#include <sstream>
#include <string>

namespace report_testing {

// The scaled figure of a report line "    <label> <n><unit>...".
inline bool figure(const std::string& report, const std::string& label, uint64_t* number,
                   char* unit) {
  size_t at = report.find("\n    " + label);
  if (at == std::string::npos) return false;
  std::istringstream rest(report.substr(at + 5 + label.size()));
  rest >> *number >> *unit;
  return !rest.fail();
}

}  // namespace report_testing
