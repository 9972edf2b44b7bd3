// libFuzzer harness of the manifest reader. The first byte sets the length
// of the destination's path; the rest is the manifest. Whatever the bytes, a
// manifest the reader accepts names only paths that are safe to use.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <vector>

#include "installer/update/manifest.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  if (size < 1) return 0;
  manifest_scan_options options;
  options.dest_length = bytes[0] * 2u;
  options.drop_net_excluded = bytes[0] & 1;
  const char* begin = reinterpret_cast<const char*>(bytes + 1);
  std::vector<file_history_struct> out;
  std::string problem;
  int version = 0;
  int result;
  try {
    result = scan_manifest(begin, begin + size - 1, options, out, &problem, &version);
  } catch (const std::runtime_error&) {
    return 0;  // the fatal alert of a path without a file
  }
  if (result != dir_read && result != dir_no_version && result != dir_fetching) abort();
  if (result != dir_read && !out.empty()) abort();
  for (const file_history_struct& h : out) {
    if (h.empty()) abort();
    for (const file_version_struct& r : h) {
      if (!manifest_path_problem(r.path, options.dest_length).empty()) abort();
      if (r.path != h.front().path || r.zip_size < 0 || r.ext_size < 0) abort();
      if (r.type < 0 || r.type > 4 || r.platform < 0 || r.platform > 6) abort();
      if (r.sig_want != "GONE" && r.sig_want.size() != 32) abort();
    }
  }
  return 0;
}
