// The rules a FILE line's path and name must keep: the installer's reader
// applies them to every line it takes, the builder to every file it packs.
#include "installer/update/manifest_rules.h"

namespace {

// The folders a manifest path may start with.
const char* const kPlatformFolders[] = {"All", "Macintosh", "Windows", "Linux"};

// Words of the folders the internet install leaves out.
const char* const kNetExcludedWords[] = {"900 red terrain", "Zudad Izuvi Darurezi"};

}  // namespace

std::string manifest_path_problem(const std::string& path, size_t dest_length) {
  for (unsigned char c : path) {
    if (c < 0x20 || c == 0x7F) return "a control character";
    if (c == '\\') return "a backslash";
  }
  size_t first_slash = path.find('/');
  if (first_slash == std::string::npos) return "no platform folder";
  std::string first = path.substr(0, first_slash);
  bool known = false;
  for (const char* folder : kPlatformFolders) known |= first == folder;
  if (!known) return "an unknown platform folder";
  size_t start = 0;
  while (start <= path.size()) {
    size_t slash = path.find('/', start);
    if (slash == std::string::npos) slash = path.size();
    std::string component = path.substr(start, slash - start);
    if (component.empty()) return "an empty component";
    if (component == "." || component == "..") return "a \".\" or \"..\" component";
    start = slash + 1;
  }
  if (path.size() > kManifestPathLimit ||
      dest_length + path.size() - first_slash - 1 > kManifestPathLimit)
    return "a path too long for the destination";
  return "";
}

std::string manifest_size_problem(int64_t kb) {
  if (kb < 0) return "a negative size";
  if (kb > kManifestMostKB) return "a size past what a file can have";
  return "";
}

bool manifest_name_dropped(const std::string& name) {
  for (const char* word : kNetExcludedWords)
    if (name.find(word) != std::string::npos) return true;
  return false;
}
