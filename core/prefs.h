// Preference files: a data-file header, then one key and its value per line.
#pragma once

#include <map>
#include <string>

class scan_class {
 public:
  scan_class(const std::string& path, int mode);  // mode 0 read, 1 write
  ~scan_class();
  scan_class(const scan_class&) = delete;
  scan_class& operator=(const scan_class&) = delete;

  int int_io(int* setting, const std::string& key);
  int str_io(std::string* setting, const std::string& key);

  int mode;
  std::map<std::string, std::string> values;
};

class pref_class {
 public:
  void IO_set(int which, int mode);  // which 10 display, 11 installer; mode 0 read, 1 write
};

extern pref_class pref;
