// Reading the server list into the mirror arrays, and choosing a mirror.
#include "installer/update/server_list.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "core/files/xmap.h"
#include "core/globals.h"
#include "installer/update/install.h"

server_list_result read_server_list(install_state& in, const std::string& path) {
  xmap_class file(path.c_str());
  server_list list;
  int version = 0;
  const server_list_result result =
      file.map_begin ? scan_server_list(file.map_begin, file.map_end, list, &version)
                     : server_list_unusable;
  if (result == server_list_newer) {
    xer << "The server list " << path << " has version " << version << ", newer than we read.\n";
    return result;
  }
  if (result != server_list_read) {
    xer << "The server list " << path << " is not one; it counts as a failed download.\n";
    return result;
  }
  if (!list.install_name.empty()) in.install_name = list.install_name;
  in.stg.server_count = list.count;
  for (int i = 0; i < kMirrorCount; ++i) {
    in.server_name[i] = list.name[i];
    in.server_path[i] = list.path[i];
    in.server_desc[i] = list.desc[i];
  }
  in.stg.server_index = draw_mirror(list.count);
  return result;
}

int draw_mirror(int count) {
  if (count <= 0) return -1;
  double u = rand() * 4.656613e-10;
  int k = static_cast<int>(count * std::pow(u, 1.5));
  if (k < 0) k = 0;
  return k < count - 1 ? k : count - 1;
}

int draw_least_failed(const int* failures, int count, int limit) {
  int fewest = limit;
  for (int m = 0; m < count; ++m) fewest = std::min(fewest, failures[m]);
  if (fewest >= limit) return -1;
  std::vector<int> candidates;
  for (int m = 0; m < count; ++m)
    if (failures[m] == fewest) candidates.push_back(m);
  return candidates[static_cast<size_t>(draw_mirror(static_cast<int>(candidates.size())))];
}
