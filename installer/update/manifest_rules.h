// What a FILE line of the manifest may name for the installer to take it:
// the one place both the installer's reader and the install-set builder ask,
// so that the builder never packs a file the reader refuses or drops.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The longest path a fixed path buffer of the file layer takes: a full path,
// and the place it lands at (the destination's folder with the full path
// less its platform folder), must each fit it.
inline constexpr size_t kManifestPathLimit = 499;

// "" when the full path of a FILE line is safe to use at a destination whose
// folder's path is dest_length bytes long (0 when there is none), else the
// reason.
std::string manifest_path_problem(const std::string& path, size_t dest_length);

// The most kilobytes a FILE line's size may give: its bytes and a kilobyte
// more, the most a download or an unpacked file may take, must fit a 64-bit
// count.
inline constexpr int64_t kManifestMostKB = (INT64_MAX - 1000) / 1000;

// "" when a FILE line's size in kilobytes is usable, else the reason.
std::string manifest_size_problem(int64_t kb);

// True when the reader drops the lines of this name (the FILE line's name,
// not its folder): the internet install never carries the red terrain and
// orbit textures, whose folders' words mark them.
bool manifest_name_dropped(const std::string& name);
