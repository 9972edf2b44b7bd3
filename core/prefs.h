// Preference files: a data-file header, then one key and its value per line.
// The reading, the writing and the table of sets live here; each module
// registers the keys it owns, so the files list them in registration order.
#pragma once

#include <map>
#include <string>
#include <vector>

// The preference files the program knows.
enum pref_set {
  pref_set_display = 10,    // "Resources/preferences/Res Flyhouse.prf" in the installation
  pref_set_installer = 11,  // "Nimbrel Installer.prf" in the user's preferences folder
};

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

// One module's keys of a set: reads or writes each through the scan, in the
// order the file lists them.
using pref_io_fn = void (*)(scan_class& scan);
// Where a set's file lives: 0 and the path, or an error code (neither read
// nor written then).
using pref_path_fn = int (*)(std::string& path);

class pref_class {
 public:
  // which: a pref_set; mode 0 read, 1 write. A set nobody registered is left alone.
  void IO_set(int which, int mode);

  // The file of a set (the display set's is fixed).
  void set_path(int which, pref_path_fn path);
  // Appends a module's keys to a set; registering the same routine again
  // changes nothing, so start-up and tests may both register.
  void add_keys(int which, pref_io_fn io);

 private:
  struct set_def {
    pref_path_fn path = nullptr;
    std::vector<pref_io_fn> keys;
  };
  std::map<int, set_def> sets_;
};

extern pref_class pref;
// Back to the state at start: no set has a file or a key.
void prefs_reset();
