// Preference files: read into a key map, or written key by key, by the same
// routines so a file holds exactly the keys it lists, in its order; and the
// table of sets the modules register their keys with.
#include "core/prefs.h"

#include <cctype>
#include <cstdint>

#include "core/cmdline.h"
#include "core/files/xmap.h"
#include "core/globals.h"
#include "Files/io_utils.h"

pref_class pref;

void prefs_reset() { pref = pref_class(); }

// The file is the user's. Memory: each line's key and value once in the map
// (the file's size plus a map node per distinct key; a key given again
// replaces its value). Time: one pass over the file.
scan_class::scan_class(const std::string& path, int m) : mode(m) {
  if (mode == 1) {
    ouf_open(path, kind_text, 9001, "no-copyright-string");
  } else if (mode == 0) {
    xmap_class file(path.c_str());
    static const int kVersions[] = {9001, 0};
    if (!file.map_begin || !file.check_file(kind_text, kVersions, nullptr, nullptr)) return;
    while (file.cursor < file.map_end) {
      std::string key, value;
      file.TXT_str_scan_space(&key);
      file.TXT_str_scan_eoln(&value);
      values[key] = value;
    }
  }
}

scan_class::~scan_class() {
  if (mode != 1) return;
  // A file cut short would read back with keys missing and no sign of it;
  // ouf_close removes it, and the next run starts from the defaults.
  if (int err = ouf_close())
    xer << "Preferences not saved (error " << err << "): the file could not be written whole.\n";
}

// atoi's reading, but a long digit run clamps instead of overflowing.
static int clamped_atoi(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && isspace(static_cast<unsigned char>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  int64_t total = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    total = total * 10 + (text[i] - '0');
    if (total > int64_t(INT32_MAX) + 1) total = int64_t(INT32_MAX) + 1;
  }
  if (negative) total = -total;
  if (total > INT32_MAX) total = INT32_MAX;
  return static_cast<int>(total);
}

// The command line's "--pref:" option first, then the file's value; nothing
// unless the scan reads.
static bool lookup(const scan_class& scan, const std::string& key, std::string& value) {
  if (scan.mode != 0) return false;
  std::string option = "--pref:" + key;
  if (cmdline.has_option(option.c_str())) {
    value = cmdline.get_option(option.c_str());
    return true;
  }
  auto it = scan.values.find(key);
  if (it == scan.values.end()) return false;
  value = it->second;
  return true;
}

int scan_class::int_io(int* setting, const std::string& key) {
  if (mode == 1) {
    ouf << key << " " << *setting << "\n";
    return 0;
  }
  std::string value;
  if (!lookup(*this, key, value)) return 0;
  *setting = clamped_atoi(value);
  return 1;
}

int scan_class::str_io(std::string* setting, const std::string& key) {
  if (mode == 1) {
    if (setting->empty()) return 0;
    // The file has no quoting: a line end inside the value would read back as
    // a cut value plus a stray key, and leading blanks are skipped on reading.
    // Such a value is left out, so the next run falls back to the default.
    bool readable = (*setting)[0] != ' ';
    for (unsigned char c : *setting)
      if (c < 0x20 || c == 0x7f) readable = false;
    if (!readable) {
      xer << "Preference " << key << " not saved: its value would not read back as written.\n";
      return 0;
    }
    ouf << key << " " << *setting << "\n";
    return 0;
  }
  std::string value;
  if (!lookup(*this, key, value)) return 0;
  *setting = value;
  return 1;
}

void pref_class::set_path(int which, pref_path_fn path) { sets_[which].path = path; }

void pref_class::add_keys(int which, pref_io_fn io) {
  std::vector<pref_io_fn>& keys = sets_[which].keys;
  for (pref_io_fn f : keys)
    if (f == io) return;
  keys.push_back(io);
}

void pref_class::IO_set(int which, int mode) {
  auto found = sets_.find(which);
  if (found == sets_.end()) return;
  const set_def& set = found->second;

  std::string path = "Resources/preferences/Res Flyhouse.prf";
  if (set.path) {
    // No folder for the file: nothing is written, rather than scatter the
    // file somewhere the next run will not look; reading goes on from an
    // empty table, so the "--pref:" options still count for this run.
    if (int err = set.path(path)) {
      xer << "No preferences folder (error " << err
          << "): " << (which == pref_set_installer ? "installer" : "display") << " preferences not "
          << (mode == 1 ? "written" : "read") << ".\n";
      if (mode != 0) return;
      path.clear();
    }
  }
  scan_class scan(path, mode);
  for (pref_io_fn io : set.keys) io(scan);
}
