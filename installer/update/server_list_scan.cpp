// Reading the bytes of a server list: its header, the FINAL name and the
// mirrors that can be used. No file or global is touched here, so the
// fuzzers run it as it is.
#include <cstring>

#include "core/constants.h"
#include "installer/update/server_list.h"
#include "installer/update/text_header.h"
#include "net/http.h"

namespace {

bool white(char c) { return text_blank(c) || text_line_end(c); }

const int kServerListVersion = 820;

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

server_list_result scan_server_list(const char* begin, const char* end, server_list& out,
                                    int* version) {
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
    while (p < end && text_blank(*p)) ++p;
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
      // The first usable name holds: every mirror kept must be asked for
      // the one version the screen names.
      std::string name = field();
      if (!have_name && usable_folder_name(name)) {
        have_name = true;
        out.install_name = name;
      }
    } else if (keyword("SERVER")) {
      std::string host = field(), folder = field(), desc = field();
      // A mirror needs the version's folder: one listed before a usable FINAL
      // line would be asked for the wrong files.
      if (have_name && http_host_name_ok(host) && usable_folder(folder) &&
          out.count < kMirrorCount) {
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
