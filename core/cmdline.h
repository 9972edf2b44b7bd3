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
  // What "--help" and "-h" print: the program's usage, registered by its
  // entry point before the command line is read (nothing until then).
  void set_usage(const std::string& text);

 private:
  void store(const std::string& name, const std::string& value);
  std::string usage_;
};

extern UTL_cmdline cmdline;
