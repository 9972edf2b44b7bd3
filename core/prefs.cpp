// Preference files: read into a key map, or written key by key, by the same
// routine so a file holds exactly the keys it lists, in its order.
#include "core/prefs.h"

#include <cctype>
#include <cstdint>

#include "core/cmdline.h"
#include "core/files/xmap.h"
#include "core/globals.h"
#include "Files/io_utils.h"
#include "installer/paths.h"
#include "installer/start.h"
#include "net/http.h"

pref_class pref;

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
  if (mode == 1) ouf.close();
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

void pref_class::IO_set(int which, int mode) {
  static int x_res_req_pln = 0, y_res_req_pln = 0, x_res_req_wrl = 0, y_res_req_wrl = 0,
             x_res_req_all = 0, y_res_req_all = 0;

  std::string path;
  if (which == 10) {
    path = "Resources/preferences/Res Flyhouse.prf";
  } else if (which == 11) {
    std::string folder;
    // No preferences folder: neither read nor write, rather than scatter the
    // file somewhere the next run will not look.
    if (int err = get_OS_abs_path(4, folder)) {
      xer << "No preferences folder (error " << err << "): installer preferences not "
          << (mode == 1 ? "written" : "read") << ".\n";
      return;
    }
    path = folder + "Nimbrel Installer.prf";
  } else {
    return;
  }

  scan_class scan(path, mode);
  if (which == 10) {
    if (mode == 1) {
      mnw.prefs_found = 1;
      x_res_req_all = mnw.x_res_req;
      y_res_req_all = mnw.y_res_req;
    }
    scan.int_io(&x_res_req_pln, "_x_res_req_PLN");
    scan.int_io(&y_res_req_pln, "_y_res_req_PLN");
    scan.int_io(&x_res_req_wrl, "_x_res_req_WRL");
    scan.int_io(&y_res_req_wrl, "_y_res_req_WRL");
    scan.int_io(&x_res_req_all, "_x_res_req_ALL");
    scan.int_io(&y_res_req_all, "_y_res_req_ALL");
    if (mode == 0) {
      mnw.x_res_req = x_res_req_all;
      mnw.y_res_req = y_res_req_all;
    }
    scan.int_io(&mnw.col_res_req, "_col_res_req");
    scan.int_io(&mnw.may_switch_depth, "_set_res");
    scan.int_io(&mnw.lang, "_lang");
    scan.int_io(&mnw.alias_req, "_alias_req");
    scan.int_io(&mnw.keylist_up, "_keylist_up");
    scan.int_io(&mnw.sec_mon_inuse, "_sec_mon_inuse");
    scan.int_io(&mnw.prefs_found, "_prefs_found");
    if (mnw.x_res_req < 600 || mnw.x_res_req > 9999) mnw.x_res_req = 1024;
    if (mnw.y_res_req < 600 || mnw.y_res_req > 9999) mnw.y_res_req = 768;
    return;
  }

  scan.int_io(&stg.use_max_cpu, "_use_max_cpu");
  scan.int_io(&stg.rename_folder, "_rename_folder");
  scan.int_io(&stg.stream_count, "_stream_count");
  scan.int_io(&stg.log_actions, "_log_actions");
  scan.int_io(&stg.always_ask_dir, "_always_ask_dir");
  scan.str_io(&dest_dir_path, "_dest_dir_path");
  scan.str_io(&http.proxy_host, "_proxy_host");
  scan.str_io(&http.proxy_port, "_proxy_port");
  scan.int_io(&http.proxy_port_int, "_proxy_port_int");
  // The maker's hosts: written only when changed from the built-in ones, so
  // a new build's defaults reach users who never touched them.
  if (mode == 0) {
    scan.str_io(&web_host, "_web_host");
    scan.str_io(&shop_host, "_shop_host");
  } else {
    std::string web = web_host == kDefaultWebHost ? "" : web_host;
    std::string shop = shop_host == kDefaultShopHost ? "" : shop_host;
    scan.str_io(&web, "_web_host");
    scan.str_io(&shop, "_shop_host");
  }
}
