// The system folders as the installer names them, each ending in "/".
#include "installer/paths.h"

#include "platform/folders.h"

int get_OS_abs_path(int which, std::string& out) {
  std::string found;
  int err = PLAT_system_folder(which, found);
  if (err) return err;
  // ':' is an ordinary file-name byte here, so only backslashes are turned.
  for (char& c : found)
    if (c == '\\') c = '/';
  if (found.empty() || found.back() != '/') found += '/';
  out = found;
  return 0;
}
