// The server list "serverlist.txt": the current version's folder name and up
// to ten mirrors. It comes over plain HTTP, so a line naming a mirror that
// cannot be used is skipped rather than trusted.
#pragma once

#include <string>

struct install_state;

// The most mirrors a list can give: the mirror arrays hold this many.
inline constexpr int kMirrorCount = 10;

struct server_list {
  std::string install_name;  // the first usable FINAL line's name; empty when none
  int count = 0;
  std::string name[kMirrorCount];  // host
  std::string path[kMirrorCount];  // folder + install_name + "/"
  std::string desc[kMirrorCount];
};

// What the readers return.
enum server_list_result {
  server_list_unusable = 0,  // not a list at all: a failed fetch
  server_list_read = 1,
  server_list_newer = 2,  // a well-formed list of a newer version
};

// Reads the bytes of a list. Bounds: one pass, at most ten mirrors kept.
server_list_result scan_server_list(const char* begin, const char* end, server_list& out,
                                    int* version);
// Reads the list at path into the install's install_name, server arrays,
// stg.server_count and a randomly chosen stg.server_index. A newer list
// changes nothing: the caller tells the user that a newer installer is
// needed.
server_list_result read_server_list(install_state& in, const std::string& path);

// A mirror index in 0..count-1, the first ones favoured (u to the power 1.5
// of a uniform u); -1 when there is none.
int draw_mirror(int count);
// Retrying after a failure: one of the mirrors 0..count-1 that have failed
// least, drawn as draw_mirror draws; -1 once every mirror has failed limit
// times.
int draw_least_failed(const int* failures, int count, int limit);
// The version folder's name may name a folder of ours: one component, not
// "." or "..", no control character, not the placeholder "Not Yet Scanned".
bool usable_folder_name(const std::string& name);
