// libFuzzer harness of the scenery library file reader: the input is the
// whole "library.txt", optionally followed by a NUL byte and the bytes of the
// package's one image, which every REGION_BITMAP of the file reads (under any
// name of the form "map.<ext>") through the program's own image loader. What
// the file registered is then looked up at a few places and the library
// emptied again.
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/files/xmap.h"
#include "core/globals.h"
#include "core/hooks.h"
#include "Files/dsf_library.h"
#include "Files/dsf_library_file.h"
#include "TEX/load_any.h"

namespace {

// The package folders, inside a scratch folder (under TMPDIR) that is the
// working folder while the harness runs and is removed when it ends.
std::string scratch;

void remove_scratch() {
  for (const char* f : {"fuzz/map.png", "other/map.png"}) unlink((scratch + f).c_str());
  for (const char* d : {"fuzz", "other", ""}) rmdir((scratch + d).c_str());
}

bool set_up() {
  for (int i = 0; i < 10000; ++i) randrat[i] = float(i) / 10000.0f * 0.9999f;
  g_core_hooks.load_alpha_image = TEX_load_alpha_ext;
  const char* tmp = getenv("TMPDIR");
  std::string dir = std::string(tmp && *tmp ? tmp : "/tmp") + "/library-fuzz-XXXXXX";
  if (!mkdtemp(&dir[0]) || chdir(dir.c_str()) != 0) abort();
  scratch = dir + "/";
  atexit(remove_scratch);
  for (const char* d : {"fuzz", "other"}) mkdir(d, 0700);
  scenery_packages = {"fuzz/", "other/"};
  return true;
}

void write_image(const char* path, const uint8_t* bytes, size_t size) {
  if (!bytes) {
    unlink(path);
    return;
  }
  FILE* f = fopen(path, "wb");
  if (!f) abort();
  if (size) fwrite(bytes, 1, size, f);
  fclose(f);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  static const bool ready = set_up();
  (void)ready;
  package_problems = {0, 0};
  const uint8_t* nul = static_cast<const uint8_t*>(memchr(bytes, 0, size));
  const size_t text = nul ? size_t(nul - bytes) : size;
  const uint8_t* image = nul ? nul + 1 : nullptr;
  const size_t image_size = nul ? size - text - 1 : 0;
  write_image("fuzz/map.png", image, image_size);
  write_image("other/map.png", image, image_size);

  // The text stands in for the mapped file: exactly its bytes, so a read
  // past its end is caught.
  xmap_class map;
  map.map_begin = map.cursor = reinterpret_cast<const char*>(bytes);
  map.map_end = map.map_begin + text;
  DSF_ReadLibrary(map, 0);
  DSF_ReadLibrary(map, 1);  // read twice: region names must not reach across files
  // What stays is what exports use: at most the cap of regions per file.
  if (DSF_RegionCount() > 2 * size_t(DSF_max_file_regions)) abort();

  std::vector<std::string> names, out;
  for (const auto& named : dsf_library) names.push_back(named.first);
  for (const std::string& n : names) {
    for (int pos : {-180, 0, 179}) {
      std::string chosen = n;
      DSF_LookupLibraryResource(pos, pos / 2, chosen, pos * 37);
      DSF_LookupLibraryResourceMultiple(pos, pos / 2, n, out);
    }
    std::string chosen = n;
    DSF_LookupLibraryResourceAnywhere(chosen, 5);
    DSF_LookupLibraryResourceAnywhereMultiple(n, out);
  }
  DSF_ClearLibrary();
  return 0;
}
