// Reading the server list and choosing a mirror.
#include "installer/update/server_list.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "core/constants.h"
#include "core/files/xmap.h"
#include "core/globals.h"
#include "installer/sizes.h"
#include "installer/start.h"
#include "installer/update/text_header.h"

namespace {

bool blank(char c) { return c == '\t' || c == ' '; }
bool white(char c) { return blank(c) || c == 0 || c == '\r' || c == '\n'; }

const int kServerListVersion = 820;

// A host as a request's head may carry it.
bool usable_host(const std::string& host) {
  if (host.empty()) return false;
  for (char c : host) {
    bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
              c == '-' || c == '.' || c == '_';
    if (!ok) return false;
  }
  return true;
}

bool usable_folder(const std::string& folder) {
  if (folder.empty() || folder[0] != '/') return false;
  for (unsigned char c : folder)
    if (c < 0x20 || c == 0x7F || c == '\\') return false;
  return (folder + "/").find("/../") == std::string::npos;
}

}  // namespace

bool usable_folder_name(const std::string& name) {
  if (name.empty() || name == "." || name == ".." || name == no_install_name) return false;
  for (unsigned char c : name)
    if (c < 0x20 || c == 0x7F || c == '/' || c == '\\') return false;
  return true;
}

int scan_server_list(const char* begin, const char* end, server_list& out, int* version) {
  out = server_list();
  static const int kVersions[] = {kServerListVersion, 0};
  text_header header = classify_text_header(begin, end, "SERVERS", kVersions);
  if (version) *version = header.version;
  if (header.verdict != header_accepted)
    return header.verdict == header_other_version && header.version > kServerListVersion
               ? server_list_newer
               : server_list_unusable;

  const char* p = header.body;
  auto skip_white = [&] {
    while (p < end && white(*p)) ++p;
  };
  auto keyword = [&](const char* word) {
    size_t n = strlen(word);
    if (static_cast<size_t>(end - p) < n || memcmp(p, word, n) != 0) return false;
    if (p + n < end && !white(p[n])) return false;
    p += n;
    return true;
  };
  // Blanks, then the rest of the line; then every line end and blank after it.
  auto field = [&] {
    while (p < end && blank(*p)) ++p;
    const char* start = p;
    while (p < end && *p != 0 && *p != '\r' && *p != '\n') ++p;
    std::string text(start, p);
    skip_white();
    return text;
  };

  bool have_name = false;
  skip_white();
  while (p < end) {
    if (keyword("ENDOFLIST")) break;
    if (keyword("FINAL")) {
      std::string name = field();
      have_name = usable_folder_name(name);
      out.install_name = have_name ? name : "";
    } else if (keyword("SERVER")) {
      std::string host = field(), folder = field(), desc = field();
      // A mirror needs the version's folder: one listed before a usable FINAL
      // line would be asked for the wrong files.
      if (have_name && usable_host(host) && usable_folder(folder) && out.count < 10) {
        out.name[out.count] = host;
        out.path[out.count] = folder + out.install_name + "/";
        out.desc[out.count] = desc;
        ++out.count;
      }
    } else {
      field();  // BETA, or a line we do not know
    }
  }
  return server_list_read;
}

int read_server_list(const std::string& path) {
  xmap_class file(path.c_str());
  server_list list;
  int version = 0;
  int result = file.map_begin ? scan_server_list(file.map_begin, file.map_end, list, &version)
                              : server_list_unusable;
  if (result == server_list_newer) {
    xer << "The server list " << path << " has version " << version << ", newer than we read.\n";
    new_format(path);
    return result;
  }
  if (result != server_list_read) {
    xer << "The server list " << path << " is not one; it counts as a failed download.\n";
    return result;
  }
  if (!list.install_name.empty()) install_name = list.install_name;
  stg.server_count = list.count;
  for (int i = 0; i < 10; ++i) {
    server_name[i] = list.name[i];
    server_path[i] = list.path[i];
    server_desc[i] = list.desc[i];
  }
  stg.server_index = draw_mirror(list.count);
  return result;
}

int draw_mirror(int count) {
  if (count <= 0) return -1;
  double u = rand() * 4.656613e-10;
  int k = static_cast<int>(count * std::pow(u, 1.5));
  if (k < 0) k = 0;
  return k < count - 1 ? k : count - 1;
}
