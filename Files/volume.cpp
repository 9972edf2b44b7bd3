// Free space of a destination's volume, through statvfs on the nearest
// existing folder of the path.
#include "Files/volume.h"

#include <sys/statvfs.h>

#include "core/globals.h"

double volume_free_kb(const std::string& path) {
  std::string p = app_path + path;
  while (!p.empty()) {
    struct statvfs fs;
    if (statvfs(p.c_str(), &fs) == 0)
      return static_cast<double>(fs.f_bavail) * static_cast<double>(fs.f_frsize) * 0.001;
    while (!p.empty() && p.back() == '/') p.pop_back();
    size_t slash = p.rfind('/');
    if (slash == std::string::npos) break;
    p.erase(slash + 1);
  }
  return -1.0;
}
