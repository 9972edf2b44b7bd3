// Free space of the volume that holds a path.
#pragma once

#include <string>

// Kilobytes of 1000 bytes that an unprivileged user may still write on the
// volume of path, asked of the nearest folder of path that exists (a new
// destination lands on its parent's volume). -1 when no folder of the path
// can be asked.
double volume_free_kb(const std::string& path);
