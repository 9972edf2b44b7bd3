// Command-line options: "--name" or "--name=value", kept as a name-to-value map.
#pragma once

#include <map>
#include <string>

class UTL_cmdline : public std::map<std::string, std::string> {
 public:
  void init_unix(int argc, const char** argv);
  void init_win(const char* text);
  void init_common();
  bool has_option(const char* name) const;
  std::string get_option(const char* name) const;

 private:
  void store(const std::string& name, const std::string& value);
};

extern UTL_cmdline cmdline;
